// The viewer page's logic in node: the WHEP exchange (fakes of
// RTCPeerConnection, fetch and the timers here), what it does when the
// server refuses or a session ends, and getStats mapped to the figures. The
// page itself, with Chromium's WebRTC, runs in BrowserViewTests.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const path = require('node:path');

const {
  WhepPlayer, whepEndpoint, statsFigures, infoText, peerLines, iceServerLines, droppedText, RETRY_MS, CONNECT_TIMEOUT_MS,
} = require(path.join(__dirname, '..', 'viewer', 'viewer.js'));

const ENDPOINT = 'http://host:50128/live/whep';
const OFFER = 'v=0\r\nm=video 9 UDP/TLS/RTP/SAVPF 96\r\nm=audio 9 UDP/TLS/RTP/SAVPF 111\r\n';
const ANSWER = 'v=0\r\nm=video 50200 UDP/TLS/RTP/SAVPF 96\r\nm=audio 50200 UDP/TLS/RTP/SAVPF 111\r\n';

// Timers that run when the test moves the time on.
class FakeClock {
  constructor() {
    this.now = 0;
    this.timers = new Map();
    this.nextId = 1;
  }

  setTimeout(fn, ms) {
    const id = this.nextId++;
    this.timers.set(id, { at: this.now + ms, fn });
    return id;
  }

  clearTimeout(id) {
    this.timers.delete(id);
  }

  async advance(ms) {
    const end = this.now + ms;
    for (;;) {
      const due = [...this.timers].filter(([, t]) => t.at <= end).sort(([, a], [, b]) => a.at - b.at);
      if (due.length === 0) break;
      const [id, timer] = due[0];
      this.timers.delete(id);
      this.now = timer.at;
      timer.fn();
      await settle();
    }
    this.now = end;
  }
}

// What the page does with its RTCPeerConnection, recorded.
class FakePC {
  constructor(config) {
    this.config = config;
    this.transceivers = [];
    this.closed = false;
    this.connectionState = 'new';
    this.iceGatheringState = 'new';
    this.remoteDescription = null;
    // Both receivers share one bundled DTLS transport, as in a browser.
    this.transport = { state: 'connected', onstatechange: null };
    this.report = new Map();
    FakePC.made.push(this);
  }

  addTransceiver(kind, init) {
    this.transceivers.push([kind, init.direction]);
  }

  async createOffer() {
    return { type: 'offer', sdp: OFFER };
  }

  async setLocalDescription(description) {
    this.localDescription = description;
    this.iceGatheringState = FakePC.lateGathering ? 'gathering' : 'complete';
  }

  async setRemoteDescription(description) {
    this.remoteDescription = description;
  }

  getReceivers() {
    return [{ transport: this.transport }, { transport: this.transport }];
  }

  async getStats() {
    return this.report;
  }

  // Unlike a state change from the network, close() fires no event.
  close() {
    this.closed = true;
    this.connectionState = 'closed';
  }

  change(state) {
    this.connectionState = state;
    this.onconnectionstatechange();
  }
}

// A WHEP server's answers to the page's POSTs, in order; every request is
// kept. A reply of null makes the fetch fail as a refused connection does.
function fakeServer(rgReply) {
  const server = { requests: [] };
  server.fetch = async (url, init) => {
    server.requests.push({ url, method: init.method, type: init.headers && init.headers['Content-Type'],
                           body: init.body });
    if (init.method === 'DELETE') return new Response(null, { status: 204 });
    const reply = rgReply.shift();
    if (reply === null || reply === undefined) throw new TypeError('Failed to fetch');
    return new Response(reply.body, { status: reply.status, statusText: reply.statusText, headers: reply.headers });
  };
  server.posts = () => server.requests.filter((r) => r.method === 'POST');
  server.deletes = () => server.requests.filter((r) => r.method === 'DELETE').map((r) => r.url);
  return server;
}

const created = (location, answer = ANSWER) => ({
  status: 201, body: answer, headers: { 'Content-Type': 'application/sdp', Location: location },
});

function settle() {
  return new Promise((resolve) => setImmediate(resolve));
}

async function settled() {
  for (let i = 0; i < 5; ++i) await settle();
}

function newPlayer(rgReply) {
  FakePC.made = [];
  FakePC.lateGathering = false;
  const clock = new FakeClock();
  const server = fakeServer(rgReply);
  const figures = { state: 'new', connects: 0, lastError: '', missing: [] };
  const tracks = [];
  const env = {
    fetch: server.fetch, RTCPeerConnection: FakePC, AbortController,
    setTimeout: (fn, ms) => clock.setTimeout(fn, ms), clearTimeout: (id) => clock.clearTimeout(id),
    now: () => clock.now,
  };
  const player = new WhepPlayer(ENDPOINT, env, figures, (track, attempt) => tracks.push([track, attempt]));
  return { player, clock, server, figures, tracks };
}

test('the endpoint is "whep" beside status.json, whatever the page\'s own path', () => {
  const rgCases = [
    ['/live/status.json', 'http://host:50128/live/', 'http://host:50128/live/whep'],
    ['/live/status.json', 'http://host:50128/live', 'http://host:50128/live/whep'],
    ['/status.json', 'http://host:50128/', 'http://host:50128/whep'],
    // Only the relay policy is passed on, and only to the endpoint.
    ['/live/status.json', 'http://host:50128/live/?iceTransportPolicy=relay',
     'http://host:50128/live/whep?iceTransportPolicy=relay'],
    ['/live/status.json', 'http://host:50128/live/?iceTransportPolicy=all&x=1', 'http://host:50128/live/whep'],
  ];
  for (const [status, page, endpoint] of rgCases) assert.strictEqual(whepEndpoint(status, page), endpoint, page);
});

test('the offer is POSTed as application/sdp, the answer applied, the Location kept for DELETE', async () => {
  const rgCases = [
    ['/live/whep/abc', 'http://host:50128/live/whep/abc'],
    ['whep/abc', 'http://host:50128/live/whep/abc'],
    ['http://host:50128/other/7', 'http://host:50128/other/7'],
  ];
  for (const [location, url] of rgCases) {
    const { player, server, figures } = newPlayer([created(location)]);
    await player.connect();
    const pc = FakePC.made[0];
    assert.deepStrictEqual(pc.config, { iceServers: [] }, 'the page reaches its own host only');
    assert.deepStrictEqual(pc.transceivers, [['video', 'recvonly'], ['audio', 'recvonly']]);
    assert.deepStrictEqual(server.posts(), [{ url: ENDPOINT, method: 'POST', type: 'application/sdp', body: OFFER }]);
    assert.deepStrictEqual(pc.remoteDescription, { type: 'answer', sdp: ANSWER });
    assert.deepStrictEqual([figures.connects, figures.missing], [1, []]);
    player.stop();
    assert.ok(pc.closed);
    assert.deepStrictEqual(server.deletes(), [url], location);
  }
});

test('the offer waits for the browser\'s candidates', async () => {
  const { player, server, clock } = newPlayer([created('/live/whep/1')]);
  FakePC.lateGathering = true;
  const connecting = player.connect();
  await settled();
  assert.strictEqual(server.posts().length, 0, 'nothing sent while gathering');
  const pc = FakePC.made[0];
  pc.localDescription = { type: 'offer', sdp: OFFER + 'a=candidate:1 1 udp 2122260223 192.0.2.2 50000 typ host\r\n' };
  pc.iceGatheringState = 'complete';
  pc.onicegatheringstatechange();
  await connecting;
  assert.match(server.posts()[0].body, /a=candidate:1 /);
  player.stop();
  assert.strictEqual(clock.timers.size, 0, 'no timer left behind');

  // Gathering that never ends holds the offer back two seconds at most.
  const late = newPlayer([created('/live/whep/2')]);
  FakePC.lateGathering = true;
  late.player.connect();
  await settled();
  await late.clock.advance(1999);
  assert.strictEqual(late.server.posts().length, 0);
  await late.clock.advance(1);
  assert.strictEqual(late.server.posts().length, 1);
  late.player.stop();
});

test('a refusal shows its status and reason; the offer goes again 2 s later', async () => {
  const rgCases = [
    { reply: { status: 503, body: 'the graph is stopped\n' }, error: '503 the graph is stopped' },
    { reply: { status: 415, body: 'not application/sdp' }, error: '415 not application/sdp' },
    { reply: { status: 404, statusText: 'Not Found', body: '' }, error: '404 Not Found' },
    { reply: { status: 201, body: ANSWER }, error: '201 without a Location' },
    { reply: null, error: 'Failed to fetch' },
  ];
  for (const c of rgCases) {
    const { player, server, clock, figures } = newPlayer([c.reply, created('/live/whep/2')]);
    await player.connect();
    assert.strictEqual(figures.lastError, c.error);
    assert.strictEqual(figures.state, 'closed');
    assert.match(infoText(figures), new RegExp(`last error: ${c.error}; trying again`));
    assert.ok(FakePC.made[0].closed, c.error);
    assert.deepStrictEqual(server.deletes(), [], 'no session to end');
    await clock.advance(RETRY_MS - 1);
    assert.strictEqual(server.posts().length, 1, c.error);
    await clock.advance(1);
    assert.strictEqual(server.posts().length, 2, c.error);
    assert.strictEqual(FakePC.made.length, 2);
    assert.strictEqual(figures.connects, 1);
    player.stop();
  }
});

test('a session that ends is torn down, DELETEd, and set up again 2 s later', async () => {
  const rgCases = [
    { why: 'connection failed', end: (pc) => pc.change('failed') },
    { why: 'connection disconnected', end: (pc) => pc.change('disconnected') },
    // The server closed DTLS while ICE still answers.
    { why: 'DTLS closed', end: (pc) => {
      pc.transport.state = 'closed';
      pc.transport.onstatechange();
    } },
    { why: `not connected within ${CONNECT_TIMEOUT_MS / 1000} s`, connected: false,
      end: (pc, clock) => clock.advance(CONNECT_TIMEOUT_MS) },
  ];
  for (const c of rgCases) {
    const { player, server, clock, figures } = newPlayer([created('/live/whep/1'), created('/live/whep/2')]);
    await player.connect();
    const first = FakePC.made[0];
    if (c.connected !== false) {
      first.change('connected');
      // Up in time: the connect deadline no longer applies.
      await clock.advance(CONNECT_TIMEOUT_MS);
      assert.strictEqual(server.deletes().length, 0, c.why);
    }
    await c.end(first, clock);
    assert.ok(first.closed, c.why);
    assert.deepStrictEqual(server.deletes(), ['http://host:50128/live/whep/1'], c.why);
    assert.deepStrictEqual([figures.state, figures.lastError], ['closed', c.why]);
    // The old connection's late events change nothing.
    first.change('failed');
    assert.strictEqual(server.deletes().length, 1, c.why);
    await clock.advance(RETRY_MS);
    assert.strictEqual(server.posts().length, 2, c.why);
    assert.strictEqual(FakePC.made.length, 2);
    assert.strictEqual(figures.connects, 2);
    player.stop();
    assert.deepStrictEqual(server.deletes(), ['http://host:50128/live/whep/1', 'http://host:50128/live/whep/2']);
  }
});

test('a kind that the answer rejected is said to be missing', async () => {
  const answer = 'v=0\r\nm=video 50200 UDP/TLS/RTP/SAVPF 96\r\nm=audio 0 UDP/TLS/RTP/SAVPF 0\r\n';
  const { player, figures } = newPlayer([created('/live/whep/1', answer)]);
  await player.connect();
  FakePC.made[0].change('connected');
  assert.deepStrictEqual(figures.missing, ['audio']);
  const text = infoText(Object.assign({}, figures, statsFigures(new Map())));
  assert.match(text, /no audio in this stream/);
  assert.doesNotMatch(text, /packets/);
  player.stop();
});

test('the first frame shown is timed from the POST of its own session\'s offer', async () => {
  const { player, clock, figures } = newPlayer([created('/live/whep/1'), created('/live/whep/2')]);
  await clock.advance(100);
  await player.connect();
  assert.deepStrictEqual([figures.answerMs, figures.firstFrameMs], [0, null]);
  player.frameShown(1, 250);
  player.frameShown(1, 400);
  assert.strictEqual(figures.firstFrameMs, 150, 'the first frame only');

  // A late frame of the session before does not time the new one.
  FakePC.made[0].change('failed');
  await clock.advance(RETRY_MS);
  assert.deepStrictEqual([figures.firstFrameMs, player.attempts], [null, 2]);
  player.frameShown(1, clock.now + 10);
  assert.strictEqual(figures.firstFrameMs, null);
  player.frameShown(2, clock.now + 30);
  assert.strictEqual(figures.firstFrameMs, 30);
  player.stop();
});

// A report as Chromium gives it to a receiver of H.264 and Opus.
function chromiumReport() {
  return new Map(Object.entries({
    CIT01_96: { type: 'codec', mimeType: 'video/H264' },
    CIT01_111: { type: 'codec', mimeType: 'audio/opus' },
    IT01V: { type: 'inbound-rtp', kind: 'video', codecId: 'CIT01_96', framesDecoded: 250, frameWidth: 720,
             frameHeight: 576, packetsReceived: 900, packetsLost: 3, jitter: 0.004 },
    IT01A: { type: 'inbound-rtp', kind: 'audio', codecId: 'CIT01_111', packetsReceived: 500,
             totalSamplesReceived: 480000, packetsLost: 1, jitter: 0.002 },
    T01: { type: 'transport', selectedCandidatePairId: 'CPb' },
    // Only the selected pair's round trip counts.
    CPa: { type: 'candidate-pair', localCandidateId: 'Ia', remoteCandidateId: 'Ib', currentRoundTripTime: 0.5 },
    CPb: { type: 'candidate-pair', localCandidateId: 'Ia', remoteCandidateId: 'Ic', currentRoundTripTime: 0.00125 },
    Ia: { type: 'local-candidate', address: '192.0.2.2', port: 50000 },
    Ib: { type: 'remote-candidate', address: '198.51.100.1', port: 50200 },
    Ic: { type: 'remote-candidate', address: '127.0.0.1', port: 50200 },
  }));
}

test('getStats gives the figures: frames, size, codecs, audio, losses, jitter, round trip', async () => {
  const { player, figures } = newPlayer([created('/live/whep/1'), created('/live/whep/2')]);
  await player.connect();
  const pc = FakePC.made[0];
  pc.report = chromiumReport();
  pc.change('connected');
  await player.pollStats();
  const expected = {
    framesDecoded: 250, frameWidth: 720, frameHeight: 576, videoCodec: 'video/H264', audioCodec: 'audio/opus',
    audioPacketsReceived: 500, audioSamplesReceived: 480000, packetsLost: 4, jitter: 0.004, audioJitter: 0.002,
    rttMs: 1.3, pair: '192.0.2.2:50000 \u2194 127.0.0.1:50200',
  };
  for (const [key, value] of Object.entries(expected)) assert.strictEqual(figures[key], value, key);
  assert.strictEqual(infoText(figures), 'connected \u00b7 video/H264 720\u00d7576, 250 frames decoded \u00b7 ' +
    'audio/opus 500 packets \u00b7 4 lost \u00b7 jitter 4 ms \u00b7 RTT 1.3 ms');

  // Without a selected pair the RTCP round trip stands in; a new session
  // starts from nothing.
  const report = chromiumReport();
  report.delete('T01');
  report.set('RO01', { type: 'remote-outbound-rtp', kind: 'audio', roundTripTime: 0.02 });
  assert.strictEqual(statsFigures(report).rttMs, 20);
  pc.change('failed');
  assert.strictEqual(figures.framesDecoded, 250, 'kept while the page waits');
  await player.connect();
  assert.deepStrictEqual([figures.framesDecoded, figures.videoCodec, figures.rttMs], [0, '', null]);
  player.stop();
});

test('the ICE servers and the dropped counts read as words', () => {
  assert.deepStrictEqual(iceServerLines([
    { uri: 'turn:127.0.0.1:3478', state: 'done', error: '', address: 'relay 127.0.0.1:49160' },
    { uri: 'stun:stun.invalid', state: 'failed', error: 'STUN stun.invalid:3478: name not found', address: '' },
    { uri: 'stun:127.0.0.1', state: 'gathering', error: '', address: '' },
  ]), ['turn:127.0.0.1:3478: done, relay 127.0.0.1:49160',
       'stun:stun.invalid: failed: STUN stun.invalid:3478: name not found', 'stun:127.0.0.1: gathering']);
  assert.strictEqual(droppedText({ datagrams: 12, rateLimited: 0, badChecks: 3 }),
                     '12 datagrams of no session, 3 checks with wrong credentials');
  assert.strictEqual(droppedText({ datagrams: 0 }), 'none');
});

test('the peer list shows a few peers and counts the rest', () => {
  const peer = (n) => ({ state: 'connected', pair: `127.0.0.1:${n} <-> 127.0.0.1:50200`, packetsSent: n,
                         packetsLost: 0, rttMs: 1 });
  const lines = peerLines([1, 2, 3, 4, 5, 6, 7].map(peer));
  assert.strictEqual(lines.length, 6);
  assert.strictEqual(lines[0], 'connected 127.0.0.1:1 <-> 127.0.0.1:50200: 1 sent, 0 lost, 1 ms');
  assert.strictEqual(lines[5], 'and 2 more');
});
