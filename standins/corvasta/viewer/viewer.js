// The stand-in's viewer: reads the stream's multipart body as it arrives,
// draws the coded video frames on the canvas and plays the audio through Web
// Audio, both placed on one timeline by their X-Start-Time, and keeps the
// status table current. Its decoding parts also load in node for tests.
'use strict';

const TICKS_PER_SECOND = 1e7;  // X-Start-Time counts 100 ns units
const JITTER_SECONDS = 0.15;   // media plays this long after its timeline slot opens
const AHEAD_SECONDS = 1.0;     // media due later than this moves the timeline
const STATUS_POLL_MS = 1000;
const RECONNECT_MS = 2000;
const INFO_REFRESH_MS = 250;
// Pictures waiting for their time; a hidden page draws none, so the oldest go.
const MAX_QUEUED_PICTURES = 50;

const CRLFCRLF = [13, 10, 13, 10];
const DASH = 0x2d;

function asciiBytes(str) {
  return Uint8Array.from(str, (ch) => ch.charCodeAt(0));
}

function latin1(bytes) {
  let str = '';
  for (const b of bytes) str += String.fromCharCode(b);
  return str;
}

function indexOf(bytes, pattern, from) {
  const last = bytes.length - pattern.length;
  outer: for (let i = from; i <= last; ++i) {
    for (let j = 0; j < pattern.length; ++j) {
      if (bytes[i + j] !== pattern[j]) continue outer;
    }
    return i;
  }
  return -1;
}

function concat(a, b) {
  if (a.length === 0) return b;
  const out = new Uint8Array(a.length + b.length);
  out.set(a);
  out.set(b, a.length);
  return out;
}

// Header names in lower case.
function parseHeaders(text) {
  const headers = new Map();
  for (const line of text.split('\r\n')) {
    const colon = line.indexOf(':');
    if (colon > 0) headers.set(line.slice(0, colon).trim().toLowerCase(), line.slice(colon + 1).trim());
  }
  return headers;
}

function boundaryOf(contentType) {
  const match = /boundary=("?)([^";]+)\1/i.exec(contentType || '');
  return match ? match[2] : 'corvasta-sample';
}

// Cuts the body of a multipart stream into parts, each by its
// Content-Length (the payload is binary and may hold anything), however the
// network splits the bytes.
class PartReader {
  constructor(boundary) {
    this.delimiter = asciiBytes('--' + boundary);
    this.buffer = new Uint8Array(0);
    this.ended = false;
  }

  // The parts that these bytes complete, as {headers, body}.
  push(bytes) {
    const buf = concat(this.buffer, bytes);
    const parts = [];
    let pos = 0;
    while (!this.ended) {
      const start = indexOf(buf, this.delimiter, pos);
      if (start < 0) {
        pos = Math.max(pos, buf.length - this.delimiter.length + 1);
        break;
      }
      pos = start;
      const head = start + this.delimiter.length;
      if (buf.length < head + 2) break;
      if (buf[head] === DASH && buf[head + 1] === DASH) {
        this.ended = true;
        pos = buf.length;
        break;
      }
      const headEnd = indexOf(buf, CRLFCRLF, head);
      if (headEnd < 0) break;
      const headers = parseHeaders(latin1(buf.subarray(head, headEnd)));
      const length = headers.get('content-length');
      const bodyStart = headEnd + 4;
      // Without a length the part can't be framed: look for the next one.
      if (!/^\d+$/.test(length || '')) {
        pos = bodyStart;
        continue;
      }
      const bodyEnd = bodyStart + Number(length);
      if (buf.length < bodyEnd) break;
      parts.push({ headers, body: buf.slice(bodyStart, bodyEnd) });
      pos = bodyEnd;
    }
    this.buffer = buf.slice(pos);
    return parts;
  }
}

// The video stand-ins' coded frames: a 16-byte header ("CVF1", frame number,
// width, height, key flag; little-endian), then the small luma picture (key)
// or its run-length coded difference to the frame before (delta).
const FRAME_MAGIC = 0x31465643;
const FRAME_HEADER_SIZE = 16;

class FrameDecoder {
  constructor() {
    this.picture = null;
    this.width = 0;
    this.height = 0;
    this.frame = -1;
  }

  // 'key' or 'delta' when the picture now shows the frame; 'no-key' for a
  // delta whose previous frame this decoder does not hold (none yet, or
  // one was lost), 'bad' for anything else. Either failure waits for the
  // next key frame.
  decode(bytes) {
    if (bytes.length < FRAME_HEADER_SIZE) return this.fail('bad');
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    if (view.getUint32(0, true) !== FRAME_MAGIC) return this.fail('bad');
    const frame = view.getUint32(4, true);
    const width = view.getUint16(8, true);
    const height = view.getUint16(10, true);
    const key = bytes[12] !== 0;
    const pixels = width * height;
    const data = bytes.subarray(FRAME_HEADER_SIZE);
    if (key) {
      if (data.length !== pixels) return this.fail('bad');
      this.picture = data.slice();
    } else {
      if (this.picture === null || width !== this.width || height !== this.height ||
          frame !== ((this.frame + 1) >>> 0)) {
        return this.fail('no-key');
      }
      const picture = this.picture;
      let i = 0;
      let p = 0;
      while (p < data.length && i < pixels) {
        const b = data[p++];
        if (b !== 0) {
          picture[i] = (picture[i] + b) & 0xff;
          ++i;
        } else if (p < data.length) {
          i += data[p++];
        } else {
          return this.fail('bad');
        }
      }
      if (i !== pixels || p !== data.length) return this.fail('bad');
    }
    this.width = width;
    this.height = height;
    this.frame = frame;
    return key ? 'key' : 'delta';
  }

  fail(result) {
    this.picture = null;
    this.frame = -1;
    return result;
  }
}

// G.711 expansion to 16-bit linear values.
function muLawToLinear(code) {
  const u = ~code & 0xff;
  const magnitude = ((((u & 0x0f) << 3) + 0x84) << ((u >> 4) & 7)) - 0x84;
  return u & 0x80 ? -magnitude : magnitude;
}

function aLawToLinear(code) {
  const a = code ^ 0x55;
  const exponent = (a >> 4) & 7;
  let magnitude = ((a & 0x0f) << 4) + 8;
  if (exponent !== 0) magnitude = (magnitude + 0x100) << (exponent - 1);
  return a & 0x80 ? magnitude : -magnitude;
}

const MU_LAW = Float32Array.from({ length: 256 }, (_, i) => muLawToLinear(i) / 32768);
const A_LAW = Float32Array.from({ length: 256 }, (_, i) => aLawToLinear(i) / 32768);

// The Opus stand-in's TOC byte names a 20 ms CELT configuration by band;
// the rate header, when there is one, is exact.
const OPUS_BAND_RATES = { 19: 8000, 23: 16000, 27: 24000, 31: 48000 };

function headerNumber(headers, name) {
  const value = headers.get(name);
  return /^\d+$/.test(value || '') ? Number(value) : 0;
}

// One audio part as {rate, channels (arrays of floats)}, or null for what
// the page can't play.
function decodeAudio(headers, body) {
  const type = (headers.get('content-type') || '').toLowerCase();
  let rate = headerNumber(headers, 'x-sample-rate');
  let channels = headerNumber(headers, 'x-channels');
  let table = null;
  let samples = body;
  if (type === 'audio/pcmu' || type === 'audio/pcma') {
    table = type === 'audio/pcmu' ? MU_LAW : A_LAW;
    rate = rate || 8000;
    channels = channels || 1;
  } else if (type === 'audio/opus') {
    // A TOC byte, then u-law samples of 20 ms; a real Opus packet is far
    // shorter than that and is left alone.
    if (body.length < 1) return null;
    const toc = body[0];
    rate = rate || OPUS_BAND_RATES[toc >> 3] || 0;
    channels = toc & 0x04 ? 2 : 1;
    samples = body.subarray(1);
    if (rate === 0 || samples.length !== (rate / 50) * channels) return null;
    table = MU_LAW;
  } else if (type !== 'audio/x-raw' || rate === 0 || channels === 0) {
    return null;
  }
  const bytesPerSample = table ? 1 : 2;
  const frames = Math.floor(samples.length / (bytesPerSample * channels));
  if (frames === 0) return null;
  const out = [];
  for (let c = 0; c < channels; ++c) out.push(new Float32Array(frames));
  const view = new DataView(samples.buffer, samples.byteOffset, samples.byteLength);
  for (let f = 0; f < frames; ++f) {
    for (let c = 0; c < channels; ++c) {
      const i = f * channels + c;
      out[c][f] = table ? table[samples[i]] : view.getInt16(2 * i, true) / 32768;
    }
  }
  return { rate, channels: out };
}

// Maps stream time onto the clock that plays: the AudioContext's while it
// runs (audio is then the master and video follows it), the page's own
// otherwise. The first timed part sets it; a part due too late or too far
// ahead sets it again (the two ends' clocks drift, the network stalls).
class Timeline {
  constructor(audioContext) {
    this.audioContext = audioContext;
    this.offset = null;
    this.source = null;
    this.moves = 0;
  }

  now() {
    const source = this.audioContext && this.audioContext.state === 'running' ? 'audio' : 'page';
    if (source !== this.source) {
      this.source = source;
      this.offset = null;
    }
    return source === 'audio' ? this.audioContext.currentTime : performance.now() / 1000;
  }

  // The clock time for stream seconds t, moving the timeline when needed.
  place(t) {
    const now = this.now();
    let when = this.offset === null ? NaN : t + this.offset;
    if (!(when >= now && when <= now + AHEAD_SECONDS + JITTER_SECONDS)) {
      if (this.offset !== null) ++this.moves;
      this.offset = now + JITTER_SECONDS - t;
      when = now + JITTER_SECONDS;
    }
    return when;
  }

  // Whether what plays at stream seconds t is due; untimed media always is.
  due(t) {
    const now = this.now();
    return t === null || this.offset === null || t + this.offset <= now;
  }

  reset() {
    this.offset = null;
  }
}

function startTime(headers) {
  const value = headers.get('x-start-time');
  return /^-?\d+$/.test(value || '') ? Number(value) / TICKS_PER_SECOND : null;
}

// Web Audio output, with the browser's refusals: no Web Audio at all, or a
// context that stays suspended until the user does something.
class AudioOut {
  constructor(button) {
    const Context = typeof window !== 'undefined' && (window.AudioContext || window.webkitAudioContext);
    this.context = null;
    this.next = 0;
    this.button = button;
    this.format = '';
    if (Context) {
      try {
        this.context = new Context({ latencyHint: 'interactive' });
      } catch (e) {
        this.context = null;
      }
    }
    if (this.context) {
      button.addEventListener('click', () => this.context.resume());
      this.context.addEventListener('statechange', () => this.showButton());
    }
    this.showButton();
  }

  running() {
    return this.context !== null && this.context.state === 'running';
  }

  showButton() {
    this.button.hidden = this.running() || this.context === null;
  }

  state() {
    if (this.context === null) return 'no Web Audio in this browser';
    if (!this.running()) return 'click to hear';
    return this.format || 'waiting for audio';
  }

  // Plays one part at its place on the timeline; false when nothing plays.
  play(part, timeline, stats) {
    if (!this.running()) return false;
    const audio = decodeAudio(part.headers, part.body);
    if (audio === null) {
      ++stats.audioUnplayable;
      return false;
    }
    const frames = audio.channels[0].length;
    const buffer = this.context.createBuffer(audio.channels.length, frames, audio.rate);
    audio.channels.forEach((data, c) => buffer.copyToChannel(data, c));
    const t = startTime(part.headers);
    const now = this.context.currentTime;
    let when = t === null ? Math.max(this.next, now + JITTER_SECONDS) : timeline.place(t);
    // Parts that follow each other join without a click.
    if (Math.abs(when - this.next) < 0.01) when = this.next;
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.context.destination);
    source.start(when);
    this.next = when + frames / audio.rate;
    this.format = `${part.headers.get('content-type')} ${audio.rate} Hz` +
                  (audio.channels.length === 2 ? ' stereo' : ' mono') +
                  `, ${Math.round((this.next - now) * 1000)} ms buffered`;
    ++stats.audioPlayed;
    return true;
  }
}

// Draws decoded pictures when their time comes, each small pixel as a block
// at the source's size (the coded picture is an eighth of it).
class VideoOut {
  constructor(canvas) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.queue = [];
  }

  push(t, decoder) {
    if (this.queue.length >= MAX_QUEUED_PICTURES) this.queue.shift();
    this.queue.push({ t, width: decoder.width, height: decoder.height, picture: decoder.picture.slice(),
                      frame: decoder.frame });
  }

  // Shows the latest picture that is due; false when none is.
  show(timeline, stats) {
    let latest = null;
    while (this.queue.length > 0 && timeline.due(this.queue[0].t)) latest = this.queue.shift();
    if (latest === null) return false;
    if (this.canvas.width !== latest.width || this.canvas.height !== latest.height) {
      this.canvas.width = latest.width;
      this.canvas.height = latest.height;
      this.canvas.style.width = `${latest.width * 8}px`;
      this.canvas.style.height = `${latest.height * 8}px`;
    }
    const image = this.context.createImageData(latest.width, latest.height);
    const rgba = image.data;
    latest.picture.forEach((luma, i) => {
      rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = luma;
      rgba[4 * i + 3] = 255;
    });
    this.context.putImageData(image, 0, 0);
    stats.shown += 1;
    stats.frame = latest.frame;
    return true;
  }

  clear() {
    this.queue = [];
  }
}

function startViewer(root) {
  const info = document.getElementById('viewer-info');
  const stats = {
    shown: 0, frame: -1, keyFrames: 0, deltas: 0, deltasWithoutKey: 0, badFrames: 0,
    audioPlayed: 0, audioUnplayable: 0, connected: false, error: '',
  };
  // For whoever inspects the page (tests, a person's console).
  window.corvastaViewer = stats;
  const decoder = new FrameDecoder();
  const video = new VideoOut(document.getElementById('video'));
  const audio = new AudioOut(document.getElementById('sound'));
  const timeline = new Timeline(audio.context);

  function onPart(part) {
    const media = part.headers.get('x-media');
    if (media === 'audio') {
      audio.play(part, timeline, stats);
      return;
    }
    if (media !== 'video') return;
    const result = decoder.decode(part.body);
    if (result === 'no-key') ++stats.deltasWithoutKey;
    if (result === 'bad') ++stats.badFrames;
    if (result !== 'key' && result !== 'delta') return;
    ++stats[result === 'key' ? 'keyFrames' : 'deltas'];
    const t = startTime(part.headers);
    if (t !== null) timeline.place(t);
    video.push(t, decoder);
  }

  async function readStream() {
    for (;;) {
      try {
        const response = await fetch(root.dataset.stream, { cache: 'no-store' });
        if (!response.ok || !response.body) throw new Error(`the stream answered ${response.status}`);
        stats.connected = true;
        stats.error = '';
        const parts = new PartReader(boundaryOf(response.headers.get('content-type')));
        const reader = response.body.getReader();
        while (!parts.ended) {
          const { value, done } = await reader.read();
          if (done) break;
          parts.push(value).forEach(onPart);
        }
        stats.error = 'the stream ended';
      } catch (e) {
        stats.error = e.message;
      }
      stats.connected = false;
      decoder.fail('no-key');
      video.clear();
      timeline.reset();
      await new Promise((resolve) => setTimeout(resolve, RECONNECT_MS));
    }
  }

  async function pollStatus() {
    const state = document.querySelector('tr[data-key="state"] td');
    try {
      const response = await fetch(root.dataset.status, { cache: 'no-store' });
      const figures = await response.json();
      for (const [key, value] of Object.entries(figures)) {
        const cell = document.querySelector(`tr[data-key="${key}"] td`);
        if (cell) cell.textContent = String(value);
      }
    } catch (e) {
      if (state) state.textContent = 'No answer';
    }
    setTimeout(pollStatus, STATUS_POLL_MS);
  }

  function showInfo() {
    let text;
    if (!stats.connected) {
      text = stats.error ? `Not connected (${stats.error}); trying again` : 'Connecting to the stream\u2026';
    } else if (stats.shown === 0) {
      text = 'Waiting for a key frame';
    } else {
      text = `Frame ${stats.frame}`;
    }
    if (stats.deltasWithoutKey > 0) text += ` \u00b7 ${stats.deltasWithoutKey} deltas without a key frame skipped`;
    if (stats.badFrames > 0) text += ` \u00b7 ${stats.badFrames} bad frames`;
    text += ` \u00b7 Audio: ${audio.state()}`;
    info.textContent = text;
  }

  function frameLoop() {
    video.show(timeline, stats);
    requestAnimationFrame(frameLoop);
  }

  readStream();
  pollStatus();
  setInterval(showInfo, INFO_REFRESH_MS);
  requestAnimationFrame(frameLoop);
}

if (typeof module !== 'undefined' && module.exports) {
  module.exports = { PartReader, FrameDecoder, decodeAudio, muLawToLinear, aLawToLinear, boundaryOf };
} else {
  startViewer(document.getElementById('viewer'));
}
