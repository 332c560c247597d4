#!/usr/bin/env bash
# The discovery protocol on a real socket port: cs-scan in the
# PC's namespace (natively, or under wine with the prefix's wineserver started
# there) against converter-sim in the converter's. What the protocol makes of
# the replies is the unit tests' part; here the real stack's part: what goes
# on the wire, what arrives, the interface list and the route errors.
# Environment: CS_SCAN, CONVERTER_SIM, CS_NET_MODE (host or
# wine), CS_WINERUN and CS_WINE_PREFIX (wine), CS_NET_WORK (logs).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tools/ns/topology.sh
. "$here/../../tools/ns/topology.sh"
mode=${CS_NET_MODE:-host}
work=${CS_NET_WORK:-$(mktemp -d)}
mkdir -p "$work" && rm -f "$work"/*.log "$work"/*.err
log=$work/sim.log
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
wine_stop() { [ "$mode" != wine ] || WINEPREFIX=$CS_WINE_PREFIX "$CS_WINERUN" --kill >/dev/null 2>&1; }
ns_init
trap 'wine_stop; ns_cleanup' EXIT

# run PROGRAM ARGS...: a program of the tree in the PC's namespace; its
# output, line ends normalised, in $out.
run() {
  if [ "$mode" = wine ]; then
    out=$(ns_run "$NS_PC" 90 env WINEPREFIX="$CS_WINE_PREFIX" CS_WINE_TIMEOUT=60 "$CS_WINERUN" "$@" 2>>"$work/pc.err")
  else
    out=$(ns_run "$NS_PC" 60 "$@" 2>>"$work/pc.err")
  fi
  [ $? = 0 ] || fail "$(basename "$1") ${*:2} exited with an error"
  out=$(tr -d '\r' <<<"$out")
}
# check EXPECTED ARGS...: cs-scan ARGS prints exactly EXPECTED.
check() {
  run "$CS_SCAN" "${@:2}"
  [ "$out" = "$1" ] || fail "cs-scan ${*:2}: expected"$'\n'"$1"$'\n'"got"$'\n'"$out"
}
# starts LINE ARGS...: the first line that cs-scan ARGS prints is LINE.
starts() {
  run "$CS_SCAN" "${@:2}"
  [ "$(head -1 <<<"$out")" = "$1" ] || fail "cs-scan ${*:2}: $(head -1 <<<"$out"), not $1"
}
# sim ARGS...: a fresh simulator with these converters, its log emptied.
sim() {
  [ -z "${SIM_PID:-}" ] || sim_stop
  : >"$log"
  sim_start "$NS_CONV" "$log" "$@"
}
requests() { awk '/^rx / { print $3, $4 }' "$log"; }
thrice() { for i in 0 1 2; do echo "${1//\#/$i}"; done; }
zeros() { printf '%0*d' $(($1 * 2)) 0; }
DISCOVERY="len=116 01$(zeros 115)"
ASSIGN="len=116 0102$(zeros 2)6c6164646572$(zeros 26)001a2b3c4d5e$(zeros 2)c0a80032$(zeros 68)"
A=name=CONV-A,mac=00:1a:2b:3c:4d:5e
PROBE='probe address=192.168.0.2 netmask=255.255.255.0'

topo_many_interfaces 12
ns_new NS_CONV2 conv2
ns_link "$NS_PC" 172.16.5.2/24 "$NS_CONV2" 172.16.5.9/24
if [ "$mode" = wine ]; then
  # A wineserver of the prefix left from an earlier run lives in another
  # namespace: stop it, then start one here (the prefix's first use may take
  # a minute or more to initialise it).
  wine_stop
  ns_run "$NS_PC" 600 env WINEPREFIX="$CS_WINE_PREFIX" "$CS_WINERUN" --server \
    >>"$work/pc.err" 2>&1 || fail "the wineserver did not start in the PC's namespace"
fi

# Of equal names the first to answer is kept; the rest in order of arrival,
# each once; 115 bytes, or from another port than 192, are dropped as they
# arrive through the real stack; 117 bytes end the scan with 10040.
sim --converter name=SHORT,mac=02:00:00:00:01:01,ip=10.1.0.1,fault=short \
  --converter name=PORT,mac=02:00:00:00:01:02,ip=10.1.0.2,fault=wrong-port \
  --converter name=TWIN,mac=02:00:00:00:00:02,ip=10.0.0.6,delay=200 \
  --converter name=TWIN,mac=02:00:00:00:00:01,ip=10.0.0.5 \
  --converter "$A,ip=192.168.0.50,delay=300,repeat=2"
check "scan result=0 status=0 count=2
device 0 address=10.0.0.5 mac=02:00:00:00:00:01 status=0 name=TWIN
device 1 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE" scan
[ "$(requests)" = "$(thrice "$DISCOVERY")" ] || fail "discovery requests on the wire: $(requests)"
sim --converter "$A,ip=192.168.0.50,fault=long"
check "scan result=-1 status=10040 count=0
$PROBE" scan

sim --flood 70
starts "scan result=0 status=0 count=64" scan
[ "$(grep -c '^device ' <<<"$out")" = 64 ] &&
  grep -qxF "device 63 address=10.200.0.63 mac=02:f1:00:00:00:3f status=0 name=flood-00063" <<<"$out" ||
  fail "70 converters: $(grep -c '^device ' <<<"$out") listed, the 64th not flood-00063"

# Refused, unanswered, taken: the refusing converter keeps its address, the
# taking one reports the new address from then on.
sim --converter "$A,ip=10.0.0.5" --converter name=CONV-R,mac=02:00:00:00:00:0e,ip=10.0.0.6,status=256 \
  --converter name=CONV-S,mac=02:00:00:00:00:0f,ip=10.0.0.7,status=silent
check "assign result=0 count=3
$(thrice "reply # address=10.0.0.6 mac=02:00:00:00:00:0e status=256 name=CONV-R")" \
  assign 192.168.0.60 02:00:00:00:00:0e
check "assign result=1 count=3
$(thrice "reply # address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=1 name=CONV-A")" \
  assign 192.168.0.50 00:1a:2b:3c:4d:5e
[ "$(requests | tail -3)" = "$(thrice "$ASSIGN")" ] || fail "assign requests on the wire: $(requests | tail -3)"
check "scan result=0 status=0 count=3
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
device 1 address=10.0.0.6 mac=02:00:00:00:00:0e status=0 name=CONV-R
device 2 address=10.0.0.7 mac=02:00:00:00:00:0f status=0 name=CONV-S
$PROBE" scan

# Fifteen interfaces (twelve more links 10.77.N.2/24 and 172.16.5.2/24), read whole and
# walked in order: the holding one, else the last.
check "subnet result=1 address=192.168.0.2 netmask=255.255.255.0" subnet 192.168.0.77
check "subnet result=1 address=10.77.12.2 netmask=255.255.255.0" subnet 10.77.12.9
check "subnet result=1 address=172.16.5.2 netmask=255.255.255.0" subnet 172.16.5.9
check "subnet result=0 address=172.16.5.2 netmask=255.255.255.0" subnet 10.9.9.9

# No route for 255.255.255.255, then an unreachable one. (Without the default
# route wine names another link first for the host name: the probe differs.)
ip -n "$NS_PC" route del default
starts "scan result=-1 status=10051 count=0" scan
ip -n "$NS_PC" route add unreachable 255.255.255.255/32
starts "scan result=10065 status=10065 count=0" scan

for f in "$work/pc.err" "$log.err"; do [ ! -s "$f" ] || { echo "--- $f"; cat "$f"; }; done
[ "$failures" = 0 ] || { echo "--- simulator log"; cut -c1-120 "$log"; exit 1; }
echo "PASS ($mode)"
