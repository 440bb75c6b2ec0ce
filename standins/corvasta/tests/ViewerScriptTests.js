// The viewer page's logic in node: multipart framing, key frames and codec
// strings from the bitstream, what goes to the WebCodecs decoders (fakes
// here) and what comes back, and G.711. The page itself, with Chromium's
// decoders, runs in BrowserViewTests.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');

const {
  PartReader, decodeAudio, muLawToLinear, aLawToLinear, videoFamily, isKeyFrame, codecString, KeyFrameGate,
  VideoIn, VideoOut, OpusIn,
} = require(path.join(__dirname, '..', 'viewer', 'viewer.js'));

const BOUNDARY = 'corvasta-sample';

function part(headers, body) {
  const head = [`--${BOUNDARY}`, `Content-Length: ${body.length}`, ...headers].join('\r\n') + '\r\n\r\n';
  return Buffer.concat([Buffer.from(head, 'latin1'), Buffer.from(body), Buffer.from('\r\n')]);
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

test('audio parts that script decodes: rate and channels from the headers', () => {
  const headers = (entries) => new Map(entries);
  const pcm = new Uint8Array(new Int16Array([1000, -1000, 32767, -32768]).buffer);
  const rgCases = [
    { h: [['content-type', 'audio/pcma'], ['x-sample-rate', '8000'], ['x-channels', '2']],
      body: new Uint8Array(320).fill(0xd5), rate: 8000, channels: 2, frames: 160 },
    // G.711 without headers is 8 kHz mono.
    { h: [['content-type', 'audio/pcmu']], body: new Uint8Array(160), rate: 8000, channels: 1, frames: 160 },
    { h: [['content-type', 'audio/x-raw'], ['x-sample-rate', '16000'], ['x-channels', '2']],
      body: pcm, rate: 16000, channels: 2, frames: 2 },
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
  // Interleaved little-endian samples go to their channels.
  const raw = decodeAudio(headers(rgCases[2].h), pcm);
  assert.deepStrictEqual([raw.channels[0][1], raw.channels[1][1]], [32767 / 32768, -1]);
  const rgNull = [
    [['content-type', 'audio/x-raw']],                                   // PCM without its rate
    [['content-type', 'audio/opus'], ['x-sample-rate', '48000'], ['x-channels', '1']], // WebCodecs' part
    [['content-type', 'audio/aac']],
  ];
  for (const h of rgNull) assert.strictEqual(decodeAudio(headers(h), new Uint8Array(320)), null, JSON.stringify(h));
});

// Coded pictures as the encoders make them, cut to what the page looks at.
const START = [0, 0, 0, 1];
function h264Key(sps = [0x42, 0xc0, 0x1e]) {
  return new Uint8Array([...START, 0x67, ...sps, 0xda, 0x02, ...START, 0x68, 0xce, 0x3c, 0x80,
    ...START, 0x65, 0x88, 0x84, 0x21]);
}
const H264_DELTA = new Uint8Array([...START, 0x41, 0x9a, 0x02, 0x65]);
const VP8_KEY = new Uint8Array([0x50, 0x42, 0x00, 0x9d, 0x01, 0x2a, 0xd0, 0x02, 0x40, 0x02, 0x00]);
const VP8_DELTA = new Uint8Array([0x51, 0x42, 0x00, 0x9d, 0x01, 0x2a, 0x11, 0x22, 0x33, 0x44, 0x55]);

test('key frames and codec strings come from the bitstream', () => {
  assert.deepStrictEqual(['video/H264', 'video/vp8', 'video/x-raw', undefined].map(videoFamily),
    ['h264', 'vp8', null, null]);
  const rgCases = [
    { family: 'h264', bytes: h264Key(), key: true, codec: 'avc1.42c01e' },
    { family: 'h264', bytes: h264Key([0x4d, 0x40, 0x28]), key: true, codec: 'avc1.4d4028' },
    // Three-byte start codes; an IDR without an SPS gets constrained baseline.
    { family: 'h264', bytes: new Uint8Array([0, 0, 1, 0x65, 0x88, 0x84]), key: true, codec: 'avc1.42c01f' },
    // 0x65 inside a slice is not a NAL header.
    { family: 'h264', bytes: H264_DELTA, key: false },
    { family: 'h264', bytes: new Uint8Array([0x65, 0x88, 0x84]), key: false },
    { family: 'vp8', bytes: VP8_KEY, key: true, codec: 'vp8' },
    // The key frame's start code is not enough: bit 0 of the tag says delta.
    { family: 'vp8', bytes: VP8_DELTA, key: false },
    { family: 'vp8', bytes: VP8_KEY.subarray(0, 9), key: false },
    { family: null, bytes: VP8_KEY, key: false },
  ];
  for (const c of rgCases) {
    const what = `${c.family} ${Buffer.from(c.bytes).toString('hex')}`;
    assert.strictEqual(isKeyFrame(c.family, c.bytes), c.key, what);
    if (c.key) assert.strictEqual(codecString(c.family, c.bytes), c.codec, what);
  }
});

test('the key-frame gate lets a run through from its key frame only', () => {
  const gate = new KeyFrameGate();
  const steps = [
    ['h264', false, 'skip'],  // nothing yet
    ['h264', true, 'start'],
    ['h264', false, 'decode'],
    ['h264', true, 'decode'], // a key frame within a run needs no new decoder
    ['vp8', false, 'skip'],   // another codec's delta ends the run
    ['h264', false, 'skip'],
    ['vp8', true, 'start'],
    ['vp8', false, 'decode'],
    [null, true, 'skip'],
  ];
  steps.forEach(([family, key, action], i) => assert.strictEqual(gate.admit(family, key), action, `step ${i}`));
  gate.admit('vp8', true);
  gate.fail();
  assert.strictEqual(gate.admit('vp8', false), 'skip', 'after a failure');
});

// WebCodecs stand-ins that record what the page does with them.
class FakeVideoDecoder {
  constructor({ output, error }) {
    this.output = output;
    this.error = error;
    this.state = 'unconfigured';
    this.chunks = [];
    FakeVideoDecoder.made.push(this);
  }

  static isConfigSupported(config) {
    FakeVideoDecoder.asked.push(config.codec);
    return Promise.resolve({ supported: !FakeVideoDecoder.unsupported.includes(config.codec), config });
  }

  configure(config) {
    this.config = config;
    this.state = 'configured';
  }

  decode(chunk) {
    if (this.state !== 'configured') throw new Error(`decode while ${this.state}`);
    if (this.chunks.length === 0 && chunk.type !== 'key') throw new Error('a key frame is required');
    this.chunks.push(chunk);
  }

  close() {
    this.state = 'closed';
  }
}

function resetFakes() {
  FakeVideoDecoder.made = [];
  FakeVideoDecoder.asked = [];
  FakeVideoDecoder.unsupported = [];
}

class FakeChunk {
  constructor(init) {
    Object.assign(this, init);
  }
}

class FakeFrame {
  constructor(timestamp, width = 720, height = 576) {
    this.timestamp = timestamp;
    this.displayWidth = width;
    this.displayHeight = height;
    this.closed = false;
  }

  close() {
    this.closed = true;
  }
}

function videoPart(type, body, ticks) {
  const headers = new Map([['content-type', type], ['x-media', 'video']]);
  if (ticks !== undefined) headers.set('x-start-time', String(ticks));
  return { headers, body };
}

function newStats() {
  return { keyFrames: 0, deltas: 0, deltasWithoutKey: 0, badFrames: 0, shown: 0, unsupported: '' };
}

const settle = () => new Promise((resolve) => setImmediate(resolve));

test('video parts reach a decoder from a key frame on, and again after an error', async () => {
  resetFakes();
  const stats = newStats();
  const placed = [];
  const pushed = [];
  const codecs = { VideoDecoder: FakeVideoDecoder, EncodedVideoChunk: FakeChunk };
  const video = new VideoIn(codecs, { place: (t) => placed.push(t) }, { push: (t, f) => pushed.push([t, f]) }, stats);

  video.push(videoPart('video/h264', H264_DELTA, 0));
  // The first key frame waits while the browser is asked, with what follows.
  video.push(videoPart('video/h264', h264Key(), 400000));
  video.push(videoPart('video/h264', H264_DELTA, 800000));
  assert.strictEqual(FakeVideoDecoder.made.length, 0);
  await settle();
  assert.deepStrictEqual(FakeVideoDecoder.asked, ['avc1.42c01e']);
  assert.strictEqual(FakeVideoDecoder.made.length, 1);
  const first = FakeVideoDecoder.made[0];
  assert.strictEqual(first.config.codec, 'avc1.42c01e');
  assert.deepStrictEqual(first.chunks.map((c) => [c.type, c.timestamp]), [['key', 40000], ['delta', 80000]]);
  assert.deepStrictEqual(placed, [0.04, 0.08]);
  assert.deepStrictEqual([stats.keyFrames, stats.deltas, stats.deltasWithoutKey], [1, 1, 1]);

  // Outputs come back with their parts' start times, in any order.
  const rgFrame = [new FakeFrame(80000), new FakeFrame(40000)];
  rgFrame.forEach((f) => first.output(f));
  assert.deepStrictEqual(pushed.map(([t]) => t), [0.08, 0.04]);

  // An error closes the decoder; deltas are skipped until a key frame
  // starts a new one, without asking again.
  first.error(new Error('corrupt slice'));
  assert.strictEqual(first.state, 'closed');
  video.push(videoPart('video/h264', H264_DELTA, 1200000));
  video.push(videoPart('video/h264', h264Key(), 1600000));
  assert.strictEqual(FakeVideoDecoder.made.length, 2);
  assert.deepStrictEqual(FakeVideoDecoder.asked, ['avc1.42c01e']);
  assert.deepStrictEqual([stats.badFrames, stats.deltasWithoutKey], [1, 2]);
  // A late output of the closed decoder is let go, not shown.
  const late = new FakeFrame(80000);
  first.output(late);
  assert.ok(late.closed);
  assert.strictEqual(pushed.length, 2);

  // A decode that throws counts as an error too.
  const second = FakeVideoDecoder.made[1];
  second.decode = () => {
    throw new Error('refused');
  };
  video.push(videoPart('video/h264', H264_DELTA, 2000000));
  assert.strictEqual(second.state, 'closed');
  assert.strictEqual(stats.badFrames, 2);

  // A key frame of another codec, untimed, starts a decoder for it.
  video.push(videoPart('video/vp8', VP8_KEY));
  await settle();
  const third = FakeVideoDecoder.made[2];
  assert.strictEqual(third.config.codec, 'vp8');
  assert.strictEqual(third.chunks[0].type, 'key');
  third.output(new FakeFrame(third.chunks[0].timestamp));
  assert.strictEqual(pushed[2][0], null, 'untimed stays untimed');
});

test('a codec that the browser does not decode is named, and nothing goes to a decoder', async () => {
  resetFakes();
  FakeVideoDecoder.unsupported = ['vp8'];
  const stats = newStats();
  const video = new VideoIn({ VideoDecoder: FakeVideoDecoder, EncodedVideoChunk: FakeChunk }, { place() {} },
    { push() {} }, stats);
  video.push(videoPart('video/vp8', VP8_KEY, 0));
  video.push(videoPart('video/vp8', VP8_DELTA, 400000));
  await settle();
  video.push(videoPart('video/vp8', VP8_KEY, 800000));
  assert.strictEqual(FakeVideoDecoder.made.length, 0);
  assert.deepStrictEqual(FakeVideoDecoder.asked, ['vp8'], 'asked once');
  assert.match(stats.unsupported, /does not decode VP8/);

  const without = newStats();
  new VideoIn({ VideoDecoder: null, EncodedVideoChunk: null }, { place() {} }, { push() {} }, without)
    .push(videoPart('video/h264', h264Key(), 0));
  assert.match(without.unsupported, /needs WebCodecs/);
  const raw = newStats();
  new VideoIn({ VideoDecoder: FakeVideoDecoder, EncodedVideoChunk: FakeChunk }, { place() {} }, { push() {} }, raw)
    .push(videoPart('video/x-raw', new Uint8Array(16), 0));
  assert.match(raw.unsupported, /no decoder for video\/x-raw/);
});

test('pictures: the latest due is drawn at its own size, and every frame is closed', () => {
  const drawn = [];
  const canvas = {
    width: 720, height: 576, style: {},
    getContext: () => ({ drawImage: (frame, x, y, cx, cy) => drawn.push([frame.timestamp, x, y, cx, cy]) }),
  };
  const out = new VideoOut(canvas);
  let now = 0;
  const timeline = { due: (t) => t === null || t <= now };
  const stats = { shown: 0 };
  const rgFrame = [0, 1, 2, 3].map((i) => new FakeFrame(i, 352, 288));
  rgFrame.forEach((f, i) => out.push(i, f));

  assert.strictEqual(out.show(timeline, stats), true);
  assert.deepStrictEqual(drawn, [[0, 0, 0, 352, 288]]);
  assert.deepStrictEqual([canvas.width, canvas.height, canvas.style.width], [352, 288, '352px']);
  now = 2;
  out.show(timeline, stats);
  // Frame 1 was late: dropped unseen, like frame 0 after its drawing.
  assert.deepStrictEqual(drawn.map(([t]) => t), [0, 2]);
  assert.deepStrictEqual(rgFrame.map((f) => f.closed), [true, true, true, false]);
  assert.strictEqual(out.show(timeline, stats), false, 'frame 3 is not due');
  assert.strictEqual(stats.shown, 2);
  out.clear();
  assert.ok(rgFrame[3].closed);

  // A page that draws nothing (hidden) keeps a bounded queue.
  const rgHidden = Array.from({ length: 60 }, (_, i) => new FakeFrame(i));
  rgHidden.forEach((f, i) => out.push(i, f));
  assert.strictEqual(rgHidden.filter((f) => f.closed).length, 10);
  assert.ok(rgHidden.slice(0, 10).every((f) => f.closed), 'the oldest go');
});

class FakeAudioDecoder {
  constructor({ output, error }) {
    this.output = output;
    this.error = error;
    this.state = 'unconfigured';
    this.chunks = [];
    FakeAudioDecoder.made.push(this);
  }

  configure(config) {
    this.config = config;
    this.state = 'configured';
  }

  decode(chunk) {
    this.chunks.push(chunk);
  }

  close() {
    this.state = 'closed';
  }
}

// Decoded Opus as Chromium gives it: interleaved floats, copied out per plane.
function fakeAudioData(timestamp, interleaved, channels) {
  return {
    timestamp, sampleRate: 48000, numberOfChannels: channels, numberOfFrames: interleaved.length / channels,
    closed: false,
    copyTo(dest, { planeIndex, format }) {
      assert.strictEqual(format, 'f32-planar');
      for (let f = 0; f < dest.length; ++f) dest[f] = interleaved[f * channels + planeIndex];
    },
    close() {
      this.closed = true;
    },
  };
}

test('Opus goes to a 48 kHz AudioDecoder with the part\'s channels; its planes come back timed', () => {
  FakeAudioDecoder.made = [];
  const played = [];
  const opus = new OpusIn({ AudioDecoder: FakeAudioDecoder, EncodedAudioChunk: FakeChunk },
    (audio, t) => played.push({ audio, t }));
  const part = (toc, extra, ticks) => ({
    headers: new Map([['content-type', 'audio/opus'], ...extra, ['x-start-time', String(ticks)]]),
    body: new Uint8Array([toc, 0x11, 0x22]),
  });

  // The input rate in the header does not change Opus's 48 kHz.
  assert.ok(opus.push(part(0x78, [['x-sample-rate', '16000'], ['x-channels', '2']], 200000)));
  assert.ok(opus.push(part(0x78, [['x-sample-rate', '16000'], ['x-channels', '2']], 400000)));
  const stereo = FakeAudioDecoder.made[0];
  assert.deepStrictEqual(stereo.config, { codec: 'opus', sampleRate: 48000, numberOfChannels: 2 });
  assert.deepStrictEqual(stereo.chunks.map((c) => [c.type, c.timestamp]), [['key', 20000], ['key', 40000]]);
  const data = fakeAudioData(40000, [0.5, -0.5, 0.25, -0.25], 2);
  stereo.output(data);
  assert.ok(data.closed);
  assert.strictEqual(played[0].t, 0.04);
  assert.deepStrictEqual(played[0].audio.channels.map((c) => [...c]), [[0.5, 0.25], [-0.5, -0.25]]);
  assert.strictEqual(played[0].audio.rate, 48000);

  // Without the header the TOC's stereo flag tells; a change needs a new decoder.
  opus.push(part(0xfc, [], 500000));
  assert.strictEqual(FakeAudioDecoder.made.length, 1);
  opus.push(part(0xf8, [], 600000));
  assert.strictEqual(FakeAudioDecoder.made.length, 2);
  assert.strictEqual(stereo.state, 'closed');
  assert.strictEqual(FakeAudioDecoder.made[1].config.numberOfChannels, 1);

  // An error: the next part starts another decoder. Not supported: none.
  FakeAudioDecoder.made[1].error(new Error('bad packet'));
  assert.ok(opus.push(part(0xf8, [], 800000)));
  assert.strictEqual(FakeAudioDecoder.made.length, 3);
  const refusal = new Error('opus');
  refusal.name = 'NotSupportedError';
  FakeAudioDecoder.made[2].error(refusal);
  assert.strictEqual(opus.push(part(0xf8, [], 1000000)), false);
  assert.strictEqual(FakeAudioDecoder.made.length, 3);
  assert.strictEqual(new OpusIn({ AudioDecoder: null, EncodedAudioChunk: null }, () => {})
    .push(part(0xf8, [], 0)), false);
});
