// The stand-in's viewer: plays the stream through WebRTC, set up over WHEP
// (an offer POSTed to the endpoint, the answer in the reply), shows the
// connection's figures from getStats and keeps the status table current.
// A session that ends (the graph stopped) is torn down and set up again.
// Its logic also loads in node for tests.
'use strict';

const STATUS_POLL_MS = 1000;
const STATS_POLL_MS = 1000;
const RETRY_MS = 2000;
// ICE and DTLS on one machine take well under a second; a session that is
// not up by then is stuck and goes.
const CONNECT_TIMEOUT_MS = 10000;
// The offer carries the browser's candidates (the server takes no trickle);
// host candidates alone are gathered in milliseconds.
const GATHER_TIMEOUT_MS = 2000;
// The reason a refusal's body gives is short; more is not shown.
const MAX_REASON_CHARS = 200;
const MAX_PEERS_SHOWN = 5;

// The endpoint is "whep" beside status.json, both below the served path:
// resolved against the page itself, a path without a final slash would
// lose its last part.
// A page opened with ?iceTransportPolicy=relay asks the server to offer
// only its relayed candidates, so that the session goes through TURN.
function whepEndpoint(statusUrl, pageUrl) {
  const endpoint = new URL('whep', new URL(statusUrl, pageUrl));
  if (new URL(pageUrl).searchParams.get('iceTransportPolicy') === 'relay') {
    endpoint.searchParams.set('iceTransportPolicy', 'relay');
  }
  return endpoint.href;
}

// The kinds whose media section the answer rejected (port 0): the browser
// offered no codec of the server's for them.
function rejectedKinds(sdp) {
  const kinds = [];
  for (const line of sdp.split(/\r?\n/)) {
    const match = /^m=(\w+) 0 /.exec(line);
    if (match) kinds.push(match[1]);
  }
  return kinds;
}

// The figures of one session that getStats gives, as the page shows them.
function emptyMediaFigures() {
  return {
    framesDecoded: 0, frameWidth: 0, frameHeight: 0, videoCodec: '', audioCodec: '',
    audioPacketsReceived: 0, audioSamplesReceived: 0, packetsLost: 0,
    jitter: null, audioJitter: null, rttMs: null, pair: '',
  };
}

function candidateText(candidate) {
  return candidate ? `${candidate.address}:${candidate.port}` : '?';
}

// Jitter stays in seconds, as WebRTC gives it; the round trip is in ms.
function statsFigures(report) {
  const figures = emptyMediaFigures();
  const codecOf = (stats) => {
    const codec = stats.codecId ? report.get(stats.codecId) : undefined;
    return codec && codec.mimeType ? codec.mimeType : '';
  };
  let pairRtt = null;
  let remoteRtt = null;
  report.forEach((stats) => {
    if (stats.type === 'inbound-rtp' && stats.kind === 'video') {
      figures.framesDecoded = stats.framesDecoded || 0;
      figures.frameWidth = stats.frameWidth || 0;
      figures.frameHeight = stats.frameHeight || 0;
      figures.videoCodec = codecOf(stats);
      figures.packetsLost += stats.packetsLost || 0;
      figures.jitter = stats.jitter !== undefined ? stats.jitter : null;
    } else if (stats.type === 'inbound-rtp' && stats.kind === 'audio') {
      figures.audioPacketsReceived = stats.packetsReceived || 0;
      figures.audioSamplesReceived = stats.totalSamplesReceived || 0;
      figures.audioCodec = codecOf(stats);
      figures.packetsLost += stats.packetsLost || 0;
      figures.audioJitter = stats.jitter !== undefined ? stats.jitter : null;
    } else if (stats.type === 'transport' && stats.selectedCandidatePairId) {
      const pair = report.get(stats.selectedCandidatePairId);
      if (pair) {
        if (typeof pair.currentRoundTripTime === 'number') pairRtt = pair.currentRoundTripTime;
        figures.pair = `${candidateText(report.get(pair.localCandidateId))} \u2194 ` +
                       candidateText(report.get(pair.remoteCandidateId));
      }
    } else if (stats.type.startsWith('remote-') && typeof stats.roundTripTime === 'number') {
      remoteRtt = stats.roundTripTime;
    }
  });
  const rtt = pairRtt !== null ? pairRtt : remoteRtt;
  figures.rttMs = rtt !== null ? Math.round(rtt * 10000) / 10 : null;
  return figures;
}

// Until the offer holds every candidate, or the time is up (the offer then
// goes with those it has).
function gathered(pc, env) {
  if (pc.iceGatheringState === 'complete') return Promise.resolve();
  return new Promise((resolve) => {
    const timer = env.setTimeout(resolve, GATHER_TIMEOUT_MS);
    pc.onicegatheringstatechange = () => {
      if (pc.iceGatheringState !== 'complete') return;
      env.clearTimeout(timer);
      resolve();
    };
  });
}

// One WHEP client that keeps a session up: while there is none it POSTs an
// offer every RETRY_MS. `figures` is what the page shows and exposes;
// `onTrack(track, attempt)` gets each received track with the number of
// the attempt that brought it.
class WhepPlayer {
  constructor(endpoint, env, figures, onTrack) {
    this.endpoint = endpoint;
    this.env = env;
    this.figures = figures;
    this.onTrack = onTrack;
    this.session = null;
    this.retryTimer = null;
    this.attempts = 0;
  }

  async connect() {
    const env = this.env;
    env.clearTimeout(this.retryTimer);
    this.retryTimer = null;
    if (this.session !== null) this.end(this.session, '', false);
    // No ICE servers: the server's candidates are in its answer, and the
    // page reaches nothing but its own host.
    const pc = new env.RTCPeerConnection({ iceServers: [] });
    const session = {
      pc, number: ++this.attempts, location: null, abort: new env.AbortController(), deadline: null,
      postedAt: null,
    };
    this.session = session;
    Object.assign(this.figures, emptyMediaFigures(),
      { state: 'connecting', missing: [], answerMs: null, firstFrameMs: null });
    session.deadline = env.setTimeout(
      () => this.end(session, `not connected within ${CONNECT_TIMEOUT_MS / 1000} s`), CONNECT_TIMEOUT_MS);
    pc.ontrack = (event) => {
      if (this.session === session) this.onTrack(event.track, session.number);
    };
    pc.onconnectionstatechange = () => this.stateChanged(session);
    try {
      pc.addTransceiver('video', { direction: 'recvonly' });
      pc.addTransceiver('audio', { direction: 'recvonly' });
      await pc.setLocalDescription(await pc.createOffer());
      await gathered(pc, env);
      if (this.session !== session) return;
      session.postedAt = env.now();
      const response = await env.fetch(this.endpoint, {
        method: 'POST', headers: { 'Content-Type': 'application/sdp' }, body: pc.localDescription.sdp,
        cache: 'no-store', signal: session.abort.signal,
      });
      const text = await response.text();
      this.figures.answerMs = env.now() - session.postedAt;
      if (response.status !== 201) {
        const reason = text.trim().slice(0, MAX_REASON_CHARS) || response.statusText || '';
        throw new Error(`${response.status} ${reason}`.trim());
      }
      const location = response.headers.get('location');
      if (!location) throw new Error('201 without a Location');
      const url = new URL(location, this.endpoint).href;
      if (this.session !== session) {
        this.remove(url);
        return;
      }
      session.location = url;
      await pc.setRemoteDescription({ type: 'answer', sdp: text });
      if (this.session !== session) return;
      this.figures.missing = rejectedKinds(text);
      ++this.figures.connects;
      this.watchTransports(session);
    } catch (e) {
      this.end(session, e && e.message ? e.message : String(e));
    }
  }

  // The server ends a session by closing DTLS; the connection's state may
  // stay "connected" while ICE still answers.
  watchTransports(session) {
    const seen = new Set();
    for (const receiver of session.pc.getReceivers()) {
      const transport = receiver.transport;
      if (!transport || seen.has(transport)) continue;
      seen.add(transport);
      transport.onstatechange = () => {
        if (transport.state === 'closed' || transport.state === 'failed') {
          this.end(session, `DTLS ${transport.state}`);
        }
      };
    }
  }

  stateChanged(session) {
    if (this.session !== session) return;
    const state = session.pc.connectionState;
    this.figures.state = state;
    if (state === 'connected') {
      this.env.clearTimeout(session.deadline);
    } else if (state === 'disconnected' || state === 'failed' || state === 'closed') {
      this.end(session, `connection ${state}`);
    }
  }

  // Closes the session, DELETEs it at the server when it may still exist
  // there, and tries again in RETRY_MS unless the page is going.
  end(session, why, retry = true) {
    if (this.session !== session) return;
    this.session = null;
    this.env.clearTimeout(session.deadline);
    session.abort.abort();
    session.pc.close();
    if (session.location !== null) this.remove(session.location);
    this.figures.state = 'closed';
    if (why) this.figures.lastError = why;
    if (retry) this.retryTimer = this.env.setTimeout(() => this.connect(), RETRY_MS);
  }

  remove(url) {
    // keepalive: the request outlives a page that is being closed. A
    // session that the server ended already answers 404, which is fine.
    this.env.fetch(url, { method: 'DELETE', keepalive: true }).catch(() => {});
  }

  // A frame of the attempt's video was shown at `now` (env.now's clock):
  // the first one of the current session times it from the offer's POST.
  frameShown(attempt, now) {
    const session = this.session;
    if (session === null || session.number !== attempt || session.postedAt === null ||
        this.figures.firstFrameMs !== null) return;
    this.figures.firstFrameMs = now - session.postedAt;
  }

  stop() {
    this.env.clearTimeout(this.retryTimer);
    this.retryTimer = null;
    if (this.session !== null) this.end(this.session, '', false);
  }

  async pollStats() {
    const session = this.session;
    if (session === null || session.location === null) return;
    const report = await session.pc.getStats();
    if (this.session === session) Object.assign(this.figures, statsFigures(report));
  }
}

function ms(seconds) {
  return `${Math.round(seconds * 1000)} ms`;
}

// The line under the video.
function infoText(figures) {
  if (figures.state !== 'connected') {
    return figures.lastError ? `${figures.state}; last error: ${figures.lastError}; trying again`
                             : 'Connecting to the stream\u2026';
  }
  const parts = ['connected'];
  if (!figures.missing.includes('video')) {
    parts.push(`${figures.videoCodec || 'video'} ${figures.frameWidth}\u00d7${figures.frameHeight}, ` +
               `${figures.framesDecoded} frames decoded`);
  }
  if (!figures.missing.includes('audio')) {
    parts.push(`${figures.audioCodec || 'audio'} ${figures.audioPacketsReceived} packets`);
  }
  for (const kind of figures.missing) parts.push(`no ${kind} in this stream`);
  parts.push(`${figures.packetsLost} lost`);
  if (figures.jitter !== null) parts.push(`jitter ${ms(figures.jitter)}`);
  if (figures.rttMs !== null) parts.push(`RTT ${figures.rttMs} ms`);
  return parts.join(' \u00b7 ');
}

// status.json's peers, one line each.
function peerLines(peers) {
  const lines = peers.slice(0, MAX_PEERS_SHOWN).map((peer) =>
    `${peer.state} ${peer.pair}: ${peer.packetsSent} sent, ${peer.packetsLost} lost, ${peer.rttMs} ms`);
  if (peers.length > MAX_PEERS_SHOWN) lines.push(`and ${peers.length - MAX_PEERS_SHOWN} more`);
  return lines;
}

// status.json's ICE servers, one line each: the outcome of the last
// gathering, or why a server failed.
function iceServerLines(servers) {
  return servers.map((server) => {
    if (server.error) return `${server.uri}: ${server.state}: ${server.error}`;
    return server.address ? `${server.uri}: ${server.state}, ${server.address}` : `${server.uri}: ${server.state}`;
  });
}

// status.json's counts of what the server dropped, as words.
function droppedText(dropped) {
  const names = {
    datagrams: 'datagrams of no session', rateLimited: 'STUN requests over the rate',
    badChecks: 'checks with wrong credentials', unconnected: 'offers that never connected',
    refused: 'offers refused',
  };
  const parts = Object.entries(dropped).filter(([, n]) => n > 0).map(([key, n]) => `${n} ${names[key] || key}`);
  return parts.length > 0 ? parts.join(', ') : 'none';
}

function startViewer(root) {
  const video = document.getElementById('video');
  const sound = document.getElementById('sound');
  const info = document.getElementById('viewer-info');
  const figures = Object.assign(emptyMediaFigures(), {
    state: 'new', connects: 0, lastError: '', missing: [], muted: true,
  });
  // For whoever inspects the page (tests, a person's console).
  window.corvastaViewer = figures;

  // Muted, the video plays without a gesture; the button brings the sound.
  video.muted = true;
  sound.addEventListener('click', () => {
    video.muted = false;
    figures.muted = false;
    video.play().catch(() => {});
  });
  // The element takes the picture's own size, so that a screenshot holds
  // it pixel for pixel.
  video.addEventListener('resize', () => {
    if (video.videoWidth > 0) {
      video.style.width = `${video.videoWidth}px`;
      video.style.height = `${video.videoHeight}px`;
    }
  });

  let stream = null;
  let streamAttempt = 0;
  const env = {
    fetch: window.fetch.bind(window), RTCPeerConnection: window.RTCPeerConnection, AbortController,
    setTimeout: window.setTimeout.bind(window), clearTimeout: window.clearTimeout.bind(window),
    now: performance.now.bind(performance),
  };
  const player = new WhepPlayer(whepEndpoint(root.dataset.status, document.baseURI), env, figures,
    (track, attempt) => {
      if (attempt !== streamAttempt) {
        stream = new MediaStream();
        streamAttempt = attempt;
        // The benchmark's first-frame time; the callback's clock is
        // performance.now's.
        if (video.requestVideoFrameCallback) {
          video.requestVideoFrameCallback((_, frame) => player.frameShown(attempt, frame.presentationTime));
        }
      }
      stream.addTrack(track);
      video.srcObject = stream;
      video.play().catch(() => {});
    });
  window.addEventListener('pagehide', () => player.stop());

  async function pollStatus() {
    const state = document.querySelector('tr[data-key="state"] td');
    try {
      const response = await fetch(root.dataset.status, { cache: 'no-store' });
      const status = await response.json();
      for (const [key, value] of Object.entries(status)) {
        const cell = document.querySelector(`tr[data-key="${key}"] td`);
        if (key === 'peers' && Array.isArray(value)) showLines('peers', 'Peers', peerLines(value));
        else if (key === 'iceServers' && Array.isArray(value)) {
          showLines('iceServers', 'ICE servers', iceServerLines(value));
        } else if (key === 'dropped' && cell) cell.textContent = droppedText(value);
        else if (cell) cell.textContent = String(value);
      }
    } catch (e) {
      if (state) state.textContent = 'No answer';
    }
    setTimeout(pollStatus, STATUS_POLL_MS);
  }

  // A row of lines; the table gets it when the page came without one.
  function showLines(key, heading, lines) {
    let row = document.querySelector(`tr[data-key="${key}"]`);
    const table = document.getElementById('status');
    if (row === null && table !== null) {
      row = table.insertRow();
      row.dataset.key = key;
      row.appendChild(document.createElement('th')).textContent = heading;
      row.appendChild(document.createElement('td'));
    }
    if (row === null) return;
    const cell = row.querySelector('td');
    cell.replaceChildren();
    lines.forEach((line, i) => {
      if (i > 0) cell.appendChild(document.createElement('br'));
      cell.appendChild(document.createTextNode(line));
    });
    if (lines.length === 0) cell.textContent = 'none';
  }

  async function pollStats() {
    try {
      await player.pollStats();
    } catch (e) {
      // A connection closed meanwhile; the next round asks the next one.
    }
    sound.hidden = !video.muted || figures.state !== 'connected' || figures.missing.includes('audio');
    info.textContent = infoText(figures);
    setTimeout(pollStats, STATS_POLL_MS);
  }

  player.connect();
  pollStatus();
  pollStats();
}

if (typeof module !== 'undefined' && module.exports) {
  module.exports = {
    WhepPlayer, whepEndpoint, rejectedKinds, statsFigures, infoText, peerLines, iceServerLines, droppedText,
    RETRY_MS, CONNECT_TIMEOUT_MS,
  };
} else {
  startViewer(document.getElementById('viewer'));
}
