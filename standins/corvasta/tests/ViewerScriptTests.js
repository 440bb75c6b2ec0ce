// The viewer page's decoding in node: multipart framing, coded frames and
// G.711. The page itself runs in Chromium in BrowserViewTests.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');

const { PartReader, FrameDecoder, decodeAudio, muLawToLinear, aLawToLinear } =
  require(path.join(__dirname, '..', 'viewer', 'viewer.js'));

const BOUNDARY = 'corvasta-sample';

function part(headers, body) {
  const head = [`--${BOUNDARY}`, `Content-Length: ${body.length}`, ...headers].join('\r\n') + '\r\n\r\n';
  return Buffer.concat([Buffer.from(head, 'latin1'), Buffer.from(body), Buffer.from('\r\n')]);
}

function frame(number, width, height, key, data) {
  const header = Buffer.alloc(16);
  header.writeUInt32LE(0x31465643, 0);
  header.writeUInt32LE(number, 4);
  header.writeUInt16LE(width, 8);
  header.writeUInt16LE(height, 10);
  header[12] = key ? 1 : 0;
  return new Uint8Array(Buffer.concat([header, Buffer.from(data)]));
}

test('parts come out whole however the body is cut', () => {
  // A payload may hold the delimiter itself; only Content-Length frames it.
  const video = Buffer.from(`xx\r\n--${BOUNDARY}\r\nyy`, 'latin1');
  const audio = Buffer.from([0, 1, 2, 255]);
  const body = Buffer.concat([
    part(['X-Media: video', 'X-Key-Frame: 1', 'X-Start-Time: 400000'], video),
    part(['X-Media: audio', 'X-Sample-Rate: 48000', 'X-Channels: 1'], audio),
    Buffer.from(`--${BOUNDARY}--\r\n`, 'latin1'),
  ]);
  for (const size of [1, 2, 5, 17, body.length]) {
    const reader = new PartReader(BOUNDARY);
    const parts = [];
    for (let i = 0; i < body.length; i += size) parts.push(...reader.push(new Uint8Array(body.subarray(i, i + size))));
    assert.strictEqual(parts.length, 2, `cut every ${size} bytes`);
    assert.deepStrictEqual(Buffer.from(parts[0].body), video);
    assert.strictEqual(parts[0].headers.get('x-start-time'), '400000');
    assert.deepStrictEqual(Buffer.from(parts[1].body), audio);
    assert.strictEqual(parts[1].headers.get('x-sample-rate'), '48000');
    assert.ok(reader.ended, 'the closing delimiter ends the body');
  }
});

test('key and delta frames, and deltas that cannot be shown', () => {
  const decoder = new FrameDecoder();
  // A delta before any key frame is not shown.
  assert.strictEqual(decoder.decode(frame(0, 4, 2, false, [0, 8])), 'no-key');
  assert.strictEqual(decoder.decode(frame(1, 4, 2, true, [10, 20, 30, 40, 250, 60, 70, 80])), 'key');
  // Differences wrap at 256; 0 and a count is a run of unchanged pixels.
  assert.strictEqual(decoder.decode(frame(2, 4, 2, false, [5, 0, 3, 10, 0, 2, 246])), 'delta');
  assert.deepStrictEqual([...decoder.picture], [15, 20, 30, 40, 4, 60, 70, 70]);
  assert.strictEqual(decoder.frame, 2);
  // A lost frame breaks the chain until the next key frame.
  assert.strictEqual(decoder.decode(frame(4, 4, 2, false, [0, 8])), 'no-key');
  assert.strictEqual(decoder.decode(frame(5, 4, 2, false, [0, 8])), 'no-key');
  assert.strictEqual(decoder.decode(frame(6, 4, 2, true, [1, 2, 3, 4, 5, 6, 7, 8])), 'key');

  const rgBad = [
    frame(7, 4, 2, false, [0, 9]),              // runs past the picture
    frame(7, 4, 2, false, [0, 7]),              // ends short of it
    frame(7, 4, 2, false, [0, 8, 1]),           // bytes left over
    frame(7, 4, 2, false, [0, 7, 0]),           // a run without its count
    frame(7, 4, 2, true, [1, 2, 3]),            // a key frame of the wrong size
    new Uint8Array(frame(7, 4, 2, true, [1, 2, 3, 4, 5, 6, 7, 8]).fill(0, 0, 4)), // no magic
    new Uint8Array(8),                          // shorter than the header
  ];
  for (const bytes of rgBad) {
    decoder.decode(frame(6, 4, 2, true, [1, 2, 3, 4, 5, 6, 7, 8]));
    assert.strictEqual(decoder.decode(bytes), 'bad', Buffer.from(bytes).toString('hex'));
    assert.strictEqual(decoder.decode(frame(8, 4, 2, false, [0, 8])), 'no-key', 'a bad frame drops the reference');
  }
});

// The stand-in encoders' G.711 (standins/encoders/G711.cpp), to run the page's
// expansion against.
function linearToMuLaw(s) {
  const biased = Math.min(((s < 0 ? ~s : s) >> 2) + 33, 0x1fff);
  let segment = 1;
  for (let i = biased >> 6; i !== 0; i >>= 1) ++segment;
  const code = ((8 - segment) << 4) | (0x0f - ((biased >> segment) & 0x0f));
  return s >= 0 ? code | 0x80 : code;
}

function linearToALaw(s) {
  let magnitude = (s < 0 ? ~s : s) >> 4;
  if (magnitude > 15) {
    let exponent = 1;
    while (magnitude > 16 + 15) {
      magnitude >>= 1;
      ++exponent;
    }
    magnitude = magnitude - 16 + (exponent << 4);
  }
  return (s >= 0 ? magnitude | 0x80 : magnitude) ^ 0x55;
}

test('G.711 expands to within a step of what was coded', () => {
  for (let s = -32768; s < 32768; s += 7) {
    // Steps grow with the magnitude: 1/16 of it, at least 32 (u-law's
    // smallest segments step by 8 around a bias, A-law's by 16).
    const step = Math.max(32, Math.abs(s) / 16);
    assert.ok(Math.abs(muLawToLinear(linearToMuLaw(s)) - s) <= step, `u-law ${s}`);
    assert.ok(Math.abs(aLawToLinear(linearToALaw(s)) - s) <= step, `A-law ${s}`);
  }
  assert.deepStrictEqual([muLawToLinear(0xff), muLawToLinear(0x80), muLawToLinear(0x00)], [0, 32124, -32124]);
  assert.deepStrictEqual([aLawToLinear(0xd5), aLawToLinear(0xaa), aLawToLinear(0x2a)], [8, 32256, -32256]);
});

test('audio parts: rate and channels from the headers or the Opus TOC byte', () => {
  const headers = (entries) => new Map(entries);
  const opus = (toc, samples) => new Uint8Array([toc, ...new Array(samples).fill(0xff)]);
  const rgCases = [
    // Opus stand-in: CELT 20 ms full band mono, wide band stereo.
    { h: [['content-type', 'audio/opus']], body: opus(31 << 3, 960), rate: 48000, channels: 1, frames: 960 },
    { h: [['content-type', 'audio/opus']], body: opus((23 << 3) | 4, 640), rate: 16000, channels: 2, frames: 320 },
    // 12 kHz shares the wide band's TOC; the header is exact.
    { h: [['content-type', 'audio/opus'], ['x-sample-rate', '12000'], ['x-channels', '1']],
      body: opus(23 << 3, 240), rate: 12000, channels: 1, frames: 240 },
    { h: [['content-type', 'audio/pcma'], ['x-sample-rate', '8000'], ['x-channels', '2']],
      body: new Uint8Array(320).fill(0xd5), rate: 8000, channels: 2, frames: 160 },
    { h: [['content-type', 'audio/pcmu']], body: new Uint8Array(160), rate: 8000, channels: 1, frames: 160 },
  ];
  for (const c of rgCases) {
    const audio = decodeAudio(headers(c.h), c.body);
    assert.ok(audio, JSON.stringify(c.h));
    assert.strictEqual(audio.rate, c.rate);
    assert.strictEqual(audio.channels.length, c.channels);
    assert.strictEqual(audio.channels[0].length, c.frames);
  }
  assert.strictEqual(decodeAudio(headers([['content-type', 'audio/pcma']]), new Uint8Array([0xd5]))
    .channels[0][0], 8 / 32768);
  // A real Opus packet is much shorter than 20 ms of u-law: not played.
  assert.strictEqual(decodeAudio(headers([['content-type', 'audio/opus']]), opus(31 << 3, 60)), null);
  assert.strictEqual(decodeAudio(headers([['content-type', 'audio/aac']]), new Uint8Array(10)), null);
});
