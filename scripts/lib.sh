# Shared by the scripts: paths, package set-up, the Wine prefix, displays.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD="${CORVASTA_BUILD:-$ROOT/build}"
BIN="$BUILD/bin"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs in the program's own prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE=/usr/bin/wine
WINESERVER=/usr/lib/wine/wineserver

# mingw-w64-tools: widl; libwine-dev: the platform's IDL files it reads.
# nsis, zip: the packages for Windows users (scripts/package).
# chromium, python3: the viewer page's test in a real browser; nodejs: its
# script's own tests. ffmpeg: decoders that are not ours for the encoders'
# captures. python3-aiortc: a WebRTC client that is not ours. iproute2,
# util-linux: the tests' own network namespace (ip, unshare). coturn: a
# STUN and TURN server that is not ours, for the ICE servers' tests;
# nftables: the address translation in front of it.
PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 mingw-w64-tools
          libwine-dev cmake ninja-build googletest wine wine64 xvfb x11-utils imagemagick
          nsis zip chromium python3 nodejs ffmpeg python3-aiortc iproute2 util-linux coturn nftables)

log() { printf '%s\n' "$*" >&2; }

# Whether this user may make a network namespace (root, with unshare).
netns_possible() {
    [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && command -v ip >/dev/null &&
        unshare --net true 2>/dev/null
}

# Inside a new namespace: loopback, and a veth pair of private addresses,
# without which Chromium gathers no candidate at all. The addresses exist
# only here. CORVASTA_NETNS tells the tests that they may exchange UDP.
netns_setup() {
    ip link set lo up
    ip link add v0 type veth peer name v1
    ip addr add 10.213.0.1/24 dev v0
    ip addr add 10.213.0.2/24 dev v1
    ip link set v0 up
    ip link set v1 up
    # What goes from loopback to the STUN/TURN port passes a NAT that gives
    # it another source port, as a server behind a home router meets its
    # STUN server: the mapped address coturn reports then differs from the
    # host candidate, and a server-reflexive candidate is learnt.
    # CORVASTA_STUN_NAT tells the tests; a kernel without nf_tables has none.
    if command -v nft >/dev/null &&
        nft add table ip nat 2>/dev/null &&
        nft add chain ip nat post '{ type nat hook postrouting priority 100; }' &&
        nft add rule ip nat post ip saddr 127.0.0.1 udp dport 3478 snat to 127.0.0.1:61000-61999; then
        export CORVASTA_STUN_NAT=1
    else
        log "no NAT in the namespace (nftables): STUN maps the host address, no srflx candidate is expected"
    fi
    export CORVASTA_NETNS=1
}

# Debian's coturn inside the namespace: STUN and TURN on 127.0.0.1:3478 with a
# user and password made for this run, loopback peers allowed. Its log (the
# allocations, permissions and traffic the tests look for) goes to
# $BUILD/captures/coturn.log. Exports what the tests read: CORVASTA_TURN_URI,
# _USER, _PASSWORD and _LOG. Sets COTURN_PID.
start_coturn() {
    COTURN_PID=""
    command -v turnserver >/dev/null || { log "no turnserver: the TURN tests will be skipped"; return 0; }
    local dir="$BUILD/captures/coturn"
    rm -rf "$dir"
    mkdir -p "$dir"
    export CORVASTA_TURN_URI="turn:127.0.0.1:3478"
    export CORVASTA_TURN_USER="corvasta"
    CORVASTA_TURN_PASSWORD="$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')"
    export CORVASTA_TURN_PASSWORD
    export CORVASTA_TURN_LOG="$dir/turnserver.log"
    # -n: no configuration file; --no-cli: without it (or a CLI password)
    # coturn refuses loopback peers. Its pid file and database stay here.
    turnserver -n --no-cli --listening-ip=127.0.0.1 --relay-ip=127.0.0.1 --listening-port=3478 \
        --min-port=49152 --max-port=49999 --lt-cred-mech --realm=corvasta.test \
        --user="$CORVASTA_TURN_USER:$CORVASTA_TURN_PASSWORD" --no-tls --no-dtls --allow-loopback-peers \
        --verbose --log-file=stdout --simple-log --pidfile="$dir/turnserver.pid" --db="$dir/turndb" \
        >"$CORVASTA_TURN_LOG" 2>&1 </dev/null &
    COTURN_PID=$!
    local i
    for i in $(seq 50); do
        grep -q "Total General servers" "$CORVASTA_TURN_LOG" 2>/dev/null && return 0
        sleep 0.1
    done
    log "coturn did not say it is ready; see $CORVASTA_TURN_LOG"
}

stop_coturn() {
    # SIGTERM ends coturn with status 143: no failure of the run, whose
    # status the scripts' EXIT traps would otherwise take on under set -e.
    if [ -n "${COTURN_PID:-}" ] && kill "$COTURN_PID" 2>/dev/null; then
        wait "$COTURN_PID" 2>/dev/null || true
    fi
    COTURN_PID=""
}

ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# A class id of components/ComponentIds.h (the name after UUID_) in the
# registry's form.
component_clsid() {
    local uuid
    read -r -a uuid < <(sed -n "s/^#define UUID_$1 //p" "$ROOT/components/ComponentIds.h" | tr -d ',')
    if [ ${#uuid[@]} -ne 11 ]; then
        log "no UUID_$1 in components/ComponentIds.h"
        return 1
    fi
    # shellcheck disable=SC2059 # the format is the point
    printf '{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}' "${uuid[@]}"
}

# Windows path of a file in the tree, through the prefix's Z: drive.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

# A display of our own unless one is given; sets DISPLAY and XVFB_PID.
start_xvfb() {
    XVFB_PID=""
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return 0
    fi
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        local i
        for i in $(seq 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
    done
    log "could not start Xvfb"
    return 1
}

# Saves the screen's area of one window as a PNG: window_screenshot OUT
# followed by xwininfo's choice of window (-name CAPTION or -id ID).
window_screenshot() {
    local out=$1 x y w h
    shift
    read -r x y w h < <(xwininfo "$@" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                                             /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
    [ -n "$h" ] || return 1
    import -window root "$out.full.png"
    convert "$out.full.png" -crop "${w}x${h}+${x}+${y}" +repage "$out"
    rm -f "$out.full.png"
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
}

# Where the program's "Show output in browser" goes: "recorder" appends the
# URL to $BIN/opened-urls.txt and opens nothing (tests, private displays);
# "desktop" leaves Wine's browser service its own list, which starts with
# xdg-open, the host's default browser. Needs the prefix.
use_browser() {
    if [ "$1" = desktop ]; then
        "$WINE" reg delete 'HKCU\Software\Wine\WineBrowser' /v Browsers /f >/dev/null 2>&1 || true
    else
        "$WINE" reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ \
            /d "$BIN/record-url" /f >/dev/null 2>&1
    fi
}

# The prefix is created once per build tree; the stand-in components, the
# pin property page and the proxy DLL are registered again whenever one of
# them was rebuilt.
ensure_prefix() {
    if [ ! -f "$WINEPREFIX/.corvasta-prefix" ]; then
        log "Creating the Wine prefix in $WINEPREFIX (once, about 20 s)"
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER" -w
        touch "$WINEPREFIX/.corvasta-prefix"
    fi
    if [ "$ROOT/scripts/prefix.reg" -nt "$WINEPREFIX/.corvasta-settings" ] ||
       [ "$ROOT/scripts/record-url" -nt "$WINEPREFIX/.corvasta-settings" ]; then
        # The shell's web browser is our recorder: URLs opened by the program
        # are written to $BIN/opened-urls.txt and go nowhere else.
        mkdir -p "$BIN"
        cp "$ROOT/scripts/record-url" "$BIN/record-url"
        local reg="$WINEPREFIX/corvasta-settings.reg"
        { cat "$ROOT/scripts/prefix.reg"
          printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\n"Browsers"="%s"\n' "$BIN/record-url"
        } > "$reg"
        "$WINE" regedit /S "$(winpath "$reg")" >/dev/null 2>&1
        touch "$WINEPREFIX/.corvasta-settings"
    fi
    local stamp="$WINEPREFIX/.corvasta-registered"
    local dlls=("$BIN/proppage.dll" "$BIN/corvastaps.dll")
    [ -d "$BIN/standins" ] && mapfile -t -O 2 dlls < <(find "$BIN/standins" -maxdepth 1 -name '*.dll' | sort)
    local newer=0
    [ -f "$stamp" ] || newer=1
    local f
    for f in "${dlls[@]}" "$ROOT/scripts/register"; do
        [ -e "$f" ] && [ "$f" -nt "$stamp" ] && newer=1
    done
    if [ "$newer" -eq 1 ]; then
        [ -x "$ROOT/scripts/register" ] && "$ROOT/scripts/register"
        touch "$stamp"
    fi
    # Wine's desktop and services started here may have no display; let them
    # end, so that the program and the tests start them anew with one.
    "$WINESERVER" -w
}
