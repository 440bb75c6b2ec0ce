// The stand-in's viewer: reads the stream's multipart body as it arrives,
// decodes H.264, VP8 and Opus with the browser's WebCodecs and G.711 and PCM
// in script, draws the pictures on the canvas and plays the sound through Web
// Audio, both placed on one timeline by their X-Start-Time, and keeps the
// status table current. Its logic also loads in node for tests.
'use strict';

const TICKS_PER_SECOND = 1e7;  // X-Start-Time counts 100 ns units
const JITTER_SECONDS = 0.15;   // media plays this long after its timeline slot opens
const AHEAD_SECONDS = 1.0;     // media due later than this moves the timeline
const STATUS_POLL_MS = 1000;
const RECONNECT_MS = 2000;
const INFO_REFRESH_MS = 250;
// Pictures waiting for their time; a hidden page draws none, so the oldest go.
const MAX_QUEUED_PICTURES = 50;
// Parts that arrive while the browser is asked whether it decodes a codec.
const MAX_HELD_PARTS = 100;
// Start times of chunks in the decoders; more means outputs went missing.
const MAX_PENDING_STAMPS = 500;

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

// The video codecs by the parts' Content-Type, and the names they go by.
const VIDEO_FAMILIES = { 'video/h264': 'h264', 'video/vp8': 'vp8' };
const FAMILY_NAMES = { h264: 'H.264', vp8: 'VP8' };
// Constrained baseline, level 3.1: for a key frame without an SPS to name it.
const H264_DEFAULT_CODEC = 'avc1.42c01f';
const H264_NAL_IDR = 5;
const H264_NAL_SPS = 7;

function videoFamily(contentType) {
  return VIDEO_FAMILIES[(contentType || '').toLowerCase()] || null;
}

// Where each NAL unit of an Annex B byte stream starts, just past its start
// code (emulation prevention keeps 00 00 01 out of the units themselves).
function nalStarts(bytes) {
  const starts = [];
  for (let i = 2; i + 1 < bytes.length; ++i) {
    if (bytes[i] === 1 && bytes[i - 1] === 0 && bytes[i - 2] === 0) starts.push(i + 1);
  }
  return starts;
}

// From the bitstream, not the header: the decoder refuses a 'key' chunk that
// is not one.
function isKeyFrame(family, bytes) {
  if (family === 'vp8') {
    // Frame tag bit 0 clear, then the key frame's start code.
    return bytes.length >= 10 && (bytes[0] & 1) === 0 && bytes[3] === 0x9d && bytes[4] === 0x01 &&
           bytes[5] === 0x2a;
  }
  return family === 'h264' && nalStarts(bytes).some((i) => (bytes[i] & 0x1f) === H264_NAL_IDR);
}

// The WebCodecs codec string for a key frame; H.264's names the profile,
// constraints and level of the frame's SPS.
function codecString(family, bytes) {
  if (family !== 'h264') return family;
  const sps = nalStarts(bytes).find((i) => (bytes[i] & 0x1f) === H264_NAL_SPS && i + 3 < bytes.length);
  if (sps === undefined) return H264_DEFAULT_CODEC;
  const hex = (b) => b.toString(16).padStart(2, '0');
  return `avc1.${hex(bytes[sps + 1])}${hex(bytes[sps + 2])}${hex(bytes[sps + 3])}`;
}

// Which coded pictures go to the decoder: each depends on those before it
// back to a key frame, so nothing goes before the first key frame, or after
// an error or a change of codec, until the next one.
class KeyFrameGate {
  constructor() {
    this.family = null;
  }

  // 'start' for a key frame that (re)starts decoding, 'decode' or 'skip'.
  admit(family, key) {
    if (family !== null && family === this.family) return 'decode';
    this.family = key ? family : null;
    return this.family === null ? 'skip' : 'start';
  }

  fail() {
    this.family = null;
  }
}

// A chunk carries one number through a WebCodecs decoder, its timestamp in
// microseconds: it brings the part's start time back to the output, or
// none for an untimed part.
class StartTimes {
  constructor() {
    this.times = new Map();
    this.last = 0;
  }

  stamp(t) {
    const stamp = t === null ? this.last + 1 : Math.round(t * 1e6);
    this.last = stamp;
    if (this.times.size >= MAX_PENDING_STAMPS) this.times.delete(this.times.keys().next().value);
    this.times.set(stamp, t);
    return stamp;
  }

  take(stamp) {
    const t = this.times.has(stamp) ? this.times.get(stamp) : null;
    this.times.delete(stamp);
    return t;
  }

  clear() {
    this.times.clear();
  }
}

// The browser's WebCodecs, or nulls where it has none (a page that is not a
// secure context, an old browser, node).
function browserCodecs() {
  const g = typeof globalThis !== 'undefined' ? globalThis : {};
  return {
    VideoDecoder: g.VideoDecoder || null,
    EncodedVideoChunk: g.EncodedVideoChunk || null,
    AudioDecoder: g.AudioDecoder || null,
    EncodedAudioChunk: g.EncodedAudioChunk || null,
  };
}

// Coded pictures into a WebCodecs VideoDecoder, configured at each key frame
// that starts a run; each decoded VideoFrame goes to `out` with its start
// time. The browser is asked once per codec string whether it decodes it,
// the parts waiting for the answer.
class VideoIn {
  constructor(codecs, timeline, out, stats) {
    this.codecs = codecs;
    this.timeline = timeline;
    this.out = out;
    this.stats = stats;
    this.gate = new KeyFrameGate();
    this.times = new StartTimes();
    this.decoder = null;
    this.codec = '';
    this.support = new Map(); // codec string: true or false
    this.held = null;         // parts waiting for a support answer
    this.generation = 0;      // a reset's answers come back to nothing
  }

  push(part) {
    if (this.held !== null) {
      if (this.held.length < MAX_HELD_PARTS) this.held.push(part);
      else ++this.stats.deltasWithoutKey;
      return;
    }
    const family = videoFamily(part.headers.get('content-type'));
    if (family === null) {
      this.stats.unsupported = `the page has no decoder for ${part.headers.get('content-type') || 'untyped video'}`;
      return;
    }
    const key = isKeyFrame(family, part.body);
    let action = this.gate.admit(family, key);
    const codec = key ? codecString(family, part.body) : this.codec;
    if (action === 'decode' && codec !== this.codec) action = 'start';
    if (action === 'skip') {
      ++this.stats.deltasWithoutKey;
      return;
    }
    if (action === 'start' && !this.start(codec, family, part)) return;
    const t = startTime(part.headers);
    try {
      this.decoder.decode(new this.codecs.EncodedVideoChunk({
        type: key ? 'key' : 'delta', timestamp: this.times.stamp(t), data: part.body,
      }));
    } catch (e) {
      this.failed(this.decoder, e);
      return;
    }
    ++this.stats[key ? 'keyFrames' : 'deltas'];
    if (t !== null) this.timeline.place(t);
  }

  // A decoder for a key frame's codec; false when the part waits for the
  // support answer or can't be decoded here.
  start(codec, family, part) {
    const refuse = (why) => {
      this.gate.fail();
      if (why === null) return false;
      this.stats.unsupported = why;
      ++this.stats.deltasWithoutKey;
      return false;
    };
    if (!this.codecs.VideoDecoder || !this.codecs.EncodedVideoChunk) {
      return refuse(`${FAMILY_NAMES[family]} needs WebCodecs, which this page doesn't have ` +
                    '(browsers offer it on https and localhost pages)');
    }
    if (!this.support.has(codec)) {
      this.held = [part];
      this.check(codec);
      return refuse(null);
    }
    if (!this.support.get(codec)) return refuse(`this browser does not decode ${FAMILY_NAMES[family]} (${codec})`);
    this.close();
    const decoder = new this.codecs.VideoDecoder({
      output: (frame) => {
        if (decoder === this.decoder) this.out.push(this.times.take(frame.timestamp), frame);
        else frame.close();
      },
      error: (e) => this.failed(decoder, e),
    });
    this.decoder = decoder;
    this.codec = codec;
    decoder.configure({ codec, optimizeForLatency: true });
    this.stats.videoCodec = `${FAMILY_NAMES[family]} (${codec})`;
    this.stats.unsupported = '';
    return true;
  }

  check(codec) {
    const generation = this.generation;
    const answer = (supported) => {
      this.support.set(codec, supported);
      if (generation !== this.generation) return;
      const held = this.held;
      this.held = null;
      held.forEach((part) => this.push(part));
    };
    Promise.resolve()
      .then(() => this.codecs.VideoDecoder.isConfigSupported({ codec, optimizeForLatency: true }))
      .then((result) => answer(result.supported === true), () => answer(false));
  }

  // A decoder that failed is closed; the next key frame starts another.
  failed(decoder, e) {
    if (decoder !== this.decoder) return;
    if (e && e.name === 'NotSupportedError') this.support.set(this.codec, false);
    ++this.stats.badFrames;
    this.stats.videoError = e ? e.message || String(e) : '';
    this.gate.fail();
    this.close();
  }

  close() {
    if (this.decoder !== null && this.decoder.state !== 'closed') this.decoder.close();
    this.decoder = null;
    this.codec = '';
    this.times.clear();
  }

  // The stream ended: the next one starts from its first key frame.
  reset() {
    ++this.generation;
    this.held = null;
    this.gate.fail();
    this.close();
  }
}

// Opus packets into a WebCodecs AudioDecoder. Opus decodes at 48 kHz
// whatever rate the encoder took in (X-Sample-Rate); the channels are the
// part's. Each decoded AudioData goes to `play` as float planes.
const OPUS_RATE = 48000;

class OpusIn {
  constructor(codecs, play) {
    this.codecs = codecs;
    this.play = play;
    this.times = new StartTimes();
    this.decoder = null;
    this.channels = 0;
    this.problem = '';
  }

  available() {
    return Boolean(this.codecs.AudioDecoder && this.codecs.EncodedAudioChunk);
  }

  // False when the part can't go to a decoder.
  push(part) {
    if (!this.available() || part.body.length === 0 || this.problem === 'unsupported') return false;
    // The TOC byte's stereo flag when the header is missing.
    const channels = headerNumber(part.headers, 'x-channels') || (part.body[0] & 0x04 ? 2 : 1);
    if (this.decoder === null || channels !== this.channels) this.start(channels);
    try {
      this.decoder.decode(new this.codecs.EncodedAudioChunk({
        type: 'key', timestamp: this.times.stamp(startTime(part.headers)), data: part.body,
      }));
    } catch (e) {
      this.failed(this.decoder, e);
      return false;
    }
    return true;
  }

  start(channels) {
    this.close();
    const decoder = new this.codecs.AudioDecoder({
      output: (data) => {
        try {
          if (decoder === this.decoder) {
            this.problem = '';
            this.play(audioDataPlanes(data), this.times.take(data.timestamp));
          }
        } finally {
          data.close();
        }
      },
      error: (e) => this.failed(decoder, e),
    });
    this.decoder = decoder;
    this.channels = channels;
    decoder.configure({ codec: 'opus', sampleRate: OPUS_RATE, numberOfChannels: channels });
  }

  failed(decoder, e) {
    if (decoder !== this.decoder) return;
    this.problem = e && e.name === 'NotSupportedError' ? 'unsupported' : 'error';
    this.close();
  }

  close() {
    if (this.decoder !== null && this.decoder.state !== 'closed') this.decoder.close();
    this.decoder = null;
    this.times.clear();
  }
}

// An AudioData's samples as one Float32Array per channel, at its own rate.
function audioDataPlanes(data) {
  const channels = [];
  for (let c = 0; c < data.numberOfChannels; ++c) {
    const plane = new Float32Array(data.numberOfFrames);
    data.copyTo(plane, { planeIndex: c, format: 'f32-planar' });
    channels.push(plane);
  }
  return { rate: data.sampleRate, channels };
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

function headerNumber(headers, name) {
  const value = headers.get(name);
  return /^\d+$/.test(value || '') ? Number(value) : 0;
}

// One G.711 or 16-bit PCM part as {rate, channels (arrays of floats)}, or
// null for what script doesn't decode.
function decodeAudio(headers, body) {
  const type = (headers.get('content-type') || '').toLowerCase();
  let rate = headerNumber(headers, 'x-sample-rate');
  let channels = headerNumber(headers, 'x-channels');
  let table = null;
  if (type === 'audio/pcmu' || type === 'audio/pcma') {
    table = type === 'audio/pcmu' ? MU_LAW : A_LAW;
    rate = rate || 8000;
    channels = channels || 1;
  } else if (type !== 'audio/x-raw' || rate === 0 || channels === 0) {
    return null;
  }
  const bytesPerSample = table ? 1 : 2;
  const frames = Math.floor(body.length / (bytesPerSample * channels));
  if (frames === 0) return null;
  const out = [];
  for (let c = 0; c < channels; ++c) out.push(new Float32Array(frames));
  const view = new DataView(body.buffer, body.byteOffset, body.byteLength);
  for (let f = 0; f < frames; ++f) {
    for (let c = 0; c < channels; ++c) {
      const i = f * channels + c;
      out[c][f] = table ? table[body[i]] : view.getInt16(2 * i, true) / 32768;
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
// context that stays suspended until the user does something. The timeline
// runs on its clock.
class AudioOut {
  constructor(button, codecs, stats) {
    const Context = typeof window !== 'undefined' && (window.AudioContext || window.webkitAudioContext);
    this.context = null;
    this.next = 0;
    this.button = button;
    this.stats = stats;
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
    this.timeline = new Timeline(this.context);
    this.opus = new OpusIn(codecs, (audio, t) => this.schedule(audio, t, 'audio/opus'));
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
    if (this.opus.problem === 'unsupported') return 'this browser does not decode Opus';
    if (this.opus.problem === 'error') return 'Opus decoding failed; trying again';
    return this.format || 'waiting for audio';
  }

  // Decodes one part, Opus through WebCodecs and the rest in script, to
  // play at its place on the timeline; false when it won't play.
  play(part) {
    if (!this.running()) return false;
    const type = (part.headers.get('content-type') || '').toLowerCase();
    if (type === 'audio/opus') {
      if (this.opus.push(part)) return true;
      if (!this.opus.available()) this.format = 'Opus needs WebCodecs, which this page doesn\u2019t have';
      ++this.stats.audioUnplayable;
      return false;
    }
    const audio = decodeAudio(part.headers, part.body);
    if (audio === null) {
      ++this.stats.audioUnplayable;
      return false;
    }
    this.schedule(audio, startTime(part.headers), type);
    return true;
  }

  schedule(audio, t, type) {
    if (!this.running()) return;
    const frames = audio.channels[0].length;
    const buffer = this.context.createBuffer(audio.channels.length, frames, audio.rate);
    audio.channels.forEach((data, c) => buffer.copyToChannel(data, c));
    const now = this.context.currentTime;
    let when = t === null ? Math.max(this.next, now + JITTER_SECONDS) : this.timeline.place(t);
    // Parts that follow each other join without a click.
    if (Math.abs(when - this.next) < 0.01) when = this.next;
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.context.destination);
    source.start(when);
    this.next = when + frames / audio.rate;
    this.stats.audioFormat = `${type} ${audio.rate} Hz` + (audio.channels.length === 2 ? ' stereo' : ' mono');
    this.format = `${this.stats.audioFormat}, ${Math.round((this.next - now) * 1000)} ms buffered`;
    ++this.stats.audioPlayed;
  }

  reset() {
    this.opus.close();
  }
}

// Draws decoded VideoFrames when their time comes, at the picture's own
// size. Every frame is closed once drawn or dropped: the decoder's pool
// runs dry otherwise.
class VideoOut {
  constructor(canvas) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.queue = [];
  }

  push(t, frame) {
    if (this.queue.length >= MAX_QUEUED_PICTURES) this.queue.shift().frame.close();
    this.queue.push({ t, frame });
  }

  // Shows the latest picture that is due, dropping those before it; false
  // when none is due.
  show(timeline, stats) {
    let latest = null;
    while (this.queue.length > 0 && timeline.due(this.queue[0].t)) {
      if (latest !== null) latest.frame.close();
      latest = this.queue.shift();
    }
    if (latest === null) return false;
    const frame = latest.frame;
    try {
      const width = frame.displayWidth;
      const height = frame.displayHeight;
      if (this.canvas.width !== width || this.canvas.height !== height) {
        this.canvas.width = width;
        this.canvas.height = height;
        this.canvas.style.width = `${width}px`;
        this.canvas.style.height = `${height}px`;
      }
      this.context.drawImage(frame, 0, 0, width, height);
      stats.picture = `${width}\u00d7${height}`;
    } finally {
      frame.close();
    }
    stats.shown += 1;
    stats.time = latest.t;
    return true;
  }

  clear() {
    this.queue.forEach((entry) => entry.frame.close());
    this.queue = [];
  }
}

function startViewer(root) {
  const info = document.getElementById('viewer-info');
  const stats = {
    shown: 0, time: null, picture: '', videoCodec: '', unsupported: '', videoError: '',
    keyFrames: 0, deltas: 0, deltasWithoutKey: 0, badFrames: 0,
    audioPlayed: 0, audioUnplayable: 0, audioFormat: '', connected: false, error: '',
  };
  // For whoever inspects the page (tests, a person's console).
  window.corvastaViewer = stats;
  const codecs = browserCodecs();
  const video = new VideoOut(document.getElementById('video'));
  const audio = new AudioOut(document.getElementById('sound'), codecs, stats);
  const timeline = audio.timeline;
  const videoIn = new VideoIn(codecs, timeline, video, stats);

  function onPart(part) {
    const media = part.headers.get('x-media');
    if (media === 'audio') audio.play(part);
    else if (media === 'video') videoIn.push(part);
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
      videoIn.reset();
      audio.reset();
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
    } else if (stats.unsupported) {
      text = `No video: ${stats.unsupported}`;
    } else if (stats.shown === 0) {
      text = 'Waiting for a key frame';
    } else {
      text = `${stats.videoCodec} ${stats.picture}` +
             (stats.time !== null ? ` at ${stats.time.toFixed(2)} s` : '') + `, ${stats.shown} pictures shown`;
    }
    if (stats.deltasWithoutKey > 0) text += ` \u00b7 ${stats.deltasWithoutKey} frames without a key frame skipped`;
    if (stats.badFrames > 0) text += ` \u00b7 ${stats.badFrames} decoding errors`;
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
  module.exports = {
    PartReader, boundaryOf, decodeAudio, muLawToLinear, aLawToLinear,
    videoFamily, isKeyFrame, codecString, KeyFrameGate, StartTimes, VideoIn, VideoOut, OpusIn,
  };
} else {
  startViewer(document.getElementById('viewer'));
}
