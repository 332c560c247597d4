#!/usr/bin/env bash
# The discovery protocol on a real socket port: cs-scan in the
# PC's namespace (natively, or under wine with the prefix's wineserver started
# there) against converter-sim in the converter's. What the protocol makes of
# the replies is the unit tests' part; here the real stack's part: what goes
# on the wire, what arrives, the interface list, every link of a laptop wired
# to a converter while on the office network, and the route errors.
# Environment: CS_SCAN, CONVERTER_SIM, CS_NET_MODE (host or
# wine), CS_WINERUN, CS_WINE_PREFIX and CS_FACTS (wine), CS_NET_WORK (logs).
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

# topology TOPO ARGS...: the one before goes, this one is made and, under
# wine, the prefix's wineserver is started in its PC namespace (a server left
# from an earlier run lives in another namespace; the prefix's first use may
# take a minute or more to initialise it).
topology() {
  sim_stop_all
  wine_stop
  ns_cleanup
  "$@"
  [ "$mode" != wine ] || ns_run "$NS_PC" 600 env WINEPREFIX="$CS_WINE_PREFIX" "$CS_WINERUN" --server \
    >>"$work/pc.err" 2>&1 || fail "the wineserver did not start in the PC's namespace"
}
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
# found EXPECTED: a scan prints EXPECTED before its probe line (which names
# the host name's address, another one under wine when the PC has several).
found() {
  run "$CS_SCAN" scan
  [ "$(grep -v '^probe ' <<<"$out")" = "$1" ] || fail "cs-scan scan: expected"$'\n'"$1"$'\n'"got"$'\n'"$out"
}
# starts LINE ARGS...: the first line that cs-scan ARGS prints is LINE.
starts() {
  run "$CS_SCAN" "${@:2}"
  [ "$(head -1 <<<"$out")" = "$1" ] || fail "cs-scan ${*:2}: $(head -1 <<<"$out"), not $1"
}
# sim [NS] ARGS...: a fresh simulator with these converters in the converter's
# namespace (or in NS), its log emptied; the ones before go unless NS is given.
sims=()
sim_stop_all() {
  local p
  for p in ${sims[@]+"${sims[@]}"}; do kill -TERM "$p" 2>/dev/null && wait "$p"; done
  sims=() NS_PIDS=()
}
sim() {
  local ns=$NS_CONV file=$log
  if [[ $1 != --* ]]; then ns=$1 file=$log.$1; shift; else sim_stop_all; fi
  : >"$file"
  sim_start "$ns" "$file" "$@"
  sims+=("$SIM_PID")
}
# The datagrams the converter's namespace received: sender address, length, bytes.
requests() { sed -nE 's/^rx ([0-9.]+):[0-9]+ /\1 /p' "$log"; }
thrice() { for i in 0 1 2; do echo "${1//\#/$i}"; done; }
zeros() { printf '%0*d' $(($1 * 2)) 0; }
DISCOVERY="192.168.0.2 len=116 01$(zeros 115)"
# assign_request HEX-ADDRESS: converter A's assign request for that address.
assign_request() { echo "192.168.0.2 len=116 0102$(zeros 2)6c6164646572$(zeros 26)001a2b3c4d5e$(zeros 2)$1$(zeros 68)"; }
A=name=CONV-A,mac=00:1a:2b:3c:4d:5e
B=name=CONV-B,mac=00:1a:2b:3c:4d:5f
PROBE='probe address=192.168.0.2 netmask=255.255.255.0'
WIRED=192.168.0.2/255.255.255.0
OFFICE=172.20.0.2/255.255.255.0
A_ON_WIRED="scan result=0 status=0 count=1
device 0 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=0 link=$WIRED name=CONV-A"

# Fifteen interfaces: the converter's link, twelve more 10.77.N.2/24 and
# 172.16.5.2/24; the scan goes out through every one of them.
many() {
  topo_many_interfaces 12
  ns_new NS_CONV2 conv2
  ns_link "$NS_PC" 172.16.5.2/24 "$NS_CONV2" 172.16.5.9/24
}
topology many

# Of equal names the first to answer is kept; the rest in order of arrival,
# each once; 115 bytes, or from another port than 192, are dropped as they
# arrive through the real stack; 117 bytes leave the link that heard them
# out of the scan (the other fourteen hear nothing).
sim --converter name=SHORT,mac=02:00:00:00:01:01,ip=10.1.0.1,fault=short \
  --converter name=PORT,mac=02:00:00:00:01:02,ip=10.1.0.2,fault=wrong-port \
  --converter name=TWIN,mac=02:00:00:00:00:02,ip=10.0.0.6,delay=200 \
  --converter name=TWIN,mac=02:00:00:00:00:01,ip=10.0.0.5 \
  --converter "$A,ip=192.168.0.50,delay=300,repeat=2"
check "scan result=0 status=0 count=2
device 0 address=10.0.0.5 mac=02:00:00:00:00:01 status=0 link=$WIRED name=TWIN
device 1 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 link=$WIRED name=CONV-A
$PROBE" scan
[ "$(requests)" = "$(thrice "$DISCOVERY")" ] || fail "discovery requests on the wire: $(requests)"
sim --converter "$A,ip=192.168.0.50,fault=long"
check "scan result=-1 status=10060 count=0
$PROBE" scan

sim --flood 70
starts "scan result=0 status=0 count=64" scan
[ "$(grep -c '^device ' <<<"$out")" = 64 ] &&
  grep -qxF "device 63 address=10.200.0.63 mac=02:f1:00:00:00:3f status=0 link=$WIRED name=flood-00063" <<<"$out" ||
  fail "70 converters: $(grep -c '^device ' <<<"$out") listed, the 64th not flood-00063"

# Refused, unanswered, taken: the refusing converter keeps its address, the
# taking one reports the new address from then on.
sim --converter "$A,ip=10.0.0.5" --converter name=CONV-R,mac=02:00:00:00:00:0e,ip=10.0.0.6,status=256 \
  --converter name=CONV-S,mac=02:00:00:00:00:0f,ip=10.0.0.7,status=silent
check "assign result=0 count=3
$(thrice "reply # address=10.0.0.6 mac=02:00:00:00:00:0e status=256 link=none name=CONV-R")" \
  assign 192.168.0.60 02:00:00:00:00:0e
check "assign result=1 count=3
$(thrice "reply # address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=1 link=none name=CONV-A")" \
  assign 192.168.0.50 00:1a:2b:3c:4d:5e
[ "$(requests | tail -3)" = "$(thrice "$(assign_request c0a80032)")" ] || fail "assign requests on the wire: $(requests | tail -3)"
check "scan result=0 status=0 count=3
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 link=$WIRED name=CONV-A
device 1 address=10.0.0.6 mac=02:00:00:00:00:0e status=0 link=$WIRED name=CONV-R
device 2 address=10.0.0.7 mac=02:00:00:00:00:0f status=0 link=$WIRED name=CONV-S
$PROBE" scan

# The fifteen interfaces read whole and walked in order: the holding one, else the last.
check "subnet result=1 address=192.168.0.2 netmask=255.255.255.0" subnet 192.168.0.77
check "subnet result=1 address=10.77.12.2 netmask=255.255.255.0" subnet 10.77.12.9
check "subnet result=1 address=172.16.5.2 netmask=255.255.255.0" subnet 172.16.5.9
check "subnet result=0 address=172.16.5.2 netmask=255.255.255.0" subnet 10.9.9.9

# A laptop: the office link holds the default route, the converter (another
# subnet) sits behind the wired link. Each order of the two links is made once;
# the order the platform lists them in is logged and decides which case ran.
listed=
laptop() {
  topology topo_two_links "$1" 10.0.0.5/24
  run "$CS_SCAN" interfaces
  echo "interfaces, wired link made ${1#wired-}:"$'\n'"$out"
  local order
  order=$(grep -oE 'address=(192\.168\.0\.2|172\.20\.0\.2) ' <<<"$out" | tr -d '\n')
  case $order in
    'address=192.168.0.2 address=172.20.0.2 ') listed+=" first" ;;
    'address=172.20.0.2 address=192.168.0.2 ') listed+=" last" ;;
    *) fail "the two links are not both listed: $order" ;;
  esac
  sim --converter "$A,ip=10.0.0.5"
  found "$A_ON_WIRED"
  [ "$(requests)" = "$(thrice "$DISCOVERY")" ] || fail "discovery requests on the wired link: $(requests)"
}
laptop wired-last
laptop wired-first
[[ $listed == *first* && $listed == *last* ]] ||
  fail "the wired link was not listed first once and last once:$listed"

# The same converter heard on both links is one record, the first reply's;
# a converter on each link makes two.
sim "$NS_OFFICE" --converter "$A,ip=10.0.0.5,delay=300"
found "$A_ON_WIRED"
sim --converter "$A,ip=10.0.0.5,delay=300"
sim "$NS_OFFICE" --converter "$B,ip=172.20.0.9"
found "scan result=0 status=0 count=2
device 0 address=172.20.0.9 mac=00:1a:2b:3c:4d:5f status=0 link=$OFFICE name=CONV-B
device 1 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=0 link=$WIRED name=CONV-A"

# The assign exchange goes out through the link that heard the converter.
check "assign result=1 count=3
$(thrice "reply # address=192.168.0.3 mac=00:1a:2b:3c:4d:5e status=1 link=$WIRED name=CONV-A")" \
  assign 192.168.0.3 00:1a:2b:3c:4d:5e "$WIRED"
[ "$(requests | tail -3)" = "$(thrice "$(assign_request c0a80003)")" ] || fail "assign requests on the wired link: $(requests | tail -3)"

# Sends on the office link fail (EPERM from an output rule): the wired link
# still finds the converter; without it the scan fails with that error.
ip netns exec "$NS_PC" nft -f - <<EOF || fail "no output rule for the office link"
table ip f {
  chain out { type filter hook output priority 0; oifname "$NS_PC_OFFICE_IF" drop; }
}
EOF
sim --converter "$A,ip=10.0.0.5"
found "$A_ON_WIRED"
# 117 bytes on the one link left end the scan with 10040.
sim --converter "$A,ip=10.0.0.5,fault=long"
starts "scan result=-1 status=10040 count=0" scan
ip -n "$NS_PC" link set "$NS_PC_IF" down
starts "scan result=-1 status=10013 count=0" scan

# No link up: the one unbound socket of before, and the routes' errors: none
# for 255.255.255.255, then an unreachable one. (Wine then names another
# address for the host name: the probe differs.)
ip -n "$NS_PC" link set "$NS_PC_OFFICE_IF" down
starts "scan result=-1 status=10051 count=0" scan
ip -n "$NS_PC" route add unreachable 255.255.255.255/32
starts "scan result=10065 status=10065 count=0" scan

# What the findings read of the adapters as wine lists them: the Linux name,
# Ethernet; up without an address: connected with none; set down: not
# connected; each address with its prefix; no firewall state, networks public.
if [ "$mode" = wine ]; then
  ns_link "$NS_PC" "" "$NS_OFFICE" ""
  ip -n "$NS_PC" link set "$NS_PC_IF" up
  run "$CS_FACTS"
  echo "adapters as the findings read them:"$'\n'"$out"
  for line in "connected=yes ipv4=192.168.0.2/24 category=public firewall=unknown rule=unknown name=$NS_PC_IF" \
    "connected=yes ipv4=none category=public firewall=unknown rule=unknown name=$NS_LINK_A" \
    "connected=no ipv4=172.20.0.2/24 category=unknown firewall=unknown rule=unknown name=$NS_PC_OFFICE_IF"; do
    grep -qxF "adapter kind=ethernet $line" <<<"$out" || fail "cs-facts lists no adapter $line:"$'\n'"$out"
  done
fi

# Another device holds 192.168.0.3 on the cable: the free-address probe, on a
# neighbour table that knows nobody yet, finds it held and 192.168.0.4 free.
# The page check is accepted at once by the simulator's page; an attempt is
# refused by the device (no port 80) and unanswered where nobody is.
topology topo_same_subnet
ns_device_on_cable 192.168.0.3/24
sim --converter "$A,ip=192.168.0.50" --http 80
check "free outcome=free address=192.168.0.4" free "$WIRED"
check "check use=in-use" check 192.168.0.3 "$WIRED"
check "page met=accepted attempts=1 refused=0 unanswered=0 failed=0 error=0" page 192.168.0.50 "$WIRED"
check "connect outcome=refused error=0" connect 192.168.0.3 "$WIRED"
check "connect outcome=no-answer error=0" connect 192.168.0.77
[ "$(grep '^http ' "$log")" = 'http (closed without a request)' ] || fail "the page's log: $(grep '^http ' "$log")"
# The page answers 5 s after the converter took its address: refusals, then one connection.
topology topo_other_subnet
sim --converter "$A,ip=10.0.0.5" --http 80 --http-after 5 \
  --on-assign "ip addr flush dev $NS_CONV_IF && ip addr add \$1/24 dev $NS_CONV_IF"
starts "assign result=1 count=3" assign 192.168.0.3 00:1a:2b:3c:4d:5e "$WIRED"
run "$CS_SCAN" page 192.168.0.3 "$WIRED"
[[ $out =~ ^page\ met=accepted\ attempts=([0-9]+)\ refused=([0-9]+)\ unanswered=0\ failed=0 ]] &&
  [ "${BASH_REMATCH[1]}" -gt 1 ] && [ "${BASH_REMATCH[2]}" = $((BASH_REMATCH[1] - 1)) ] &&
  [ "$(grep -c '^http ' "$log")" = 1 ] || fail "the page 5 s after the assignment: $out; $(grep '^http ' "$log")"

# cvsetup.exe on a laptop wired to a converter in another subnet: what an
# administrator reads and what a script parses. Every run's standard output
# goes to a file, as a script's redirection puts it.
if [ "$mode" = wine ] && [ -n "${CS_CLI:-}" ]; then
  topology topo_two_links wired-first 10.0.0.5/24
  IF=$NS_PC_IF
  cli_env=()
  # cli STATUS ARGS...: cvsetup ARGS ends with STATUS; standard output in
  # $out, standard error in $err, line ends normalised.
  cli() {
    local want=$1 status
    shift
    ns_run "$NS_PC" 90 env WINEPREFIX="$CS_WINE_PREFIX" CS_WINE_TIMEOUT=60 ${cli_env[@]+"${cli_env[@]}"} \
      "$CS_WINERUN" "$CS_CLI" "$@" >"$work/cli.out" 2>"$work/cli.err"
    status=$?
    out=$(tr -d '\r' <"$work/cli.out") err=$(tr -d '\r' <"$work/cli.err")
    [ "$status" = "$want" ] || fail "cvsetup $*: status $status, not $want"$'\n'"$out"$'\n'"$err"
  }
  # holds PYTHON-EXPRESSION: $out parses as JSON, and the expression holds for it (d).
  holds() {
    python3 -c 'import json, sys; d = json.loads(sys.stdin.read()); sys.exit(not eval(sys.argv[1].replace("\n", " ")))' \
      "$1" <<<"$out" || fail "cvsetup's JSON: not $1"$'\n'"$out"
  }
  shown() { printf '$ cvsetup %s\n%s\n%s\n' "$1" "$out" "$err"; }
  LINK="{'adapter': '$IF', 'address': '192.168.0.2', 'netmask': '255.255.255.0'}"

  D=name=ZTL-BR720-Demo,mac=00:1a:2b:3c:4d:5e
  # The other model's name holds what JSON must escape.
  sim --converter "$D,ip=10.0.0.5" --converter 'name=OTHER-AP "lab\1",mac=02:00:00:00:00:0a,ip=192.168.0.51' --http 80
  cli 0 list
  shown "list (en)"
  grep -qE "^ZTL-BR720-Demo +10\.0\.0\.5 +00:1a:2b:3c:4d:5e +$IF +192\.168\.0\.2 +other$" <<<"$out" &&
    ! grep -q OTHER-AP <<<"$out" || fail "cvsetup list: not the converter's row alone"
  for lang in en ja; do
    [ $lang = en ] || cli_env=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LOCPATH="${LOCPATH:-}")
    cli 0 list --json
    shown "list --json ($lang)"
    holds "[c['name'] for c in d['converters']] == ['ZTL-BR720-Demo']"
  done
  cli_env=()
  cli 0 list --all --json
  holds "list(d) == ['converters'] and sorted(d['converters'], key=lambda c: c['name']) == [
    {'name': 'OTHER-AP \\x22lab\\x5c1\\x22', 'address': '192.168.0.51', 'mac': '02:00:00:00:00:0a', 'supported': False, 'link': $LINK, 'same_subnet': True},
    {'name': 'ZTL-BR720-Demo', 'address': '10.0.0.5', 'mac': '00:1a:2b:3c:4d:5e', 'supported': True, 'link': $LINK, 'same_subnet': False}]"
  cli_env=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LOCPATH="${LOCPATH:-}")
  cli 0 list --all
  shown 'list --all (ja)'
  iconv -f UTF-8 -t UTF-8 "$work/cli.out" >/dev/null && grep -q '^コンバータ名 ' <<<"$out" &&
    grep -qE "^OTHER-AP .* 他機種$" <<<"$out" || fail "cvsetup list --all in Japanese: not UTF-8 with the Japanese header"
  cli_env=()

  # Through a pseudo-terminal the console writes: Japanese arrives whole there
  # only as UTF-16 handed to the console.
  ns_run "$NS_PC" 90 script -qec "stty cols 200; env WINEPREFIX='$CS_WINE_PREFIX' CS_WINE_TIMEOUT=60 LANG=ja_JP.UTF-8 \
    LC_ALL=ja_JP.UTF-8 LOCPATH='${LOCPATH:-}' '$CS_WINERUN' '$CS_CLI' list" /dev/null </dev/null >"$work/cli.tty" 2>&1 ||
    fail "cvsetup list through a terminal exited with an error"
  grep -aq '^.*コンバータ名 ' "$work/cli.tty" && grep -aqE "^ZTL-BR720-Demo +10\.0\.0\.5 +00:1a:2b:3c:4d:5e .* 異なる" "$work/cli.tty" ||
    fail "cvsetup list through a terminal: $(cat -v "$work/cli.tty")"

  # The page of a converter in another subnet opens, after the list's warning,
  # where a route of the PC's reaches it.
  : >"$work/browser.log"
  cli_env=(PATH="$CS_BROWSER_DIR:$PATH" CS_BROWSER_LOG="$work/browser.log")
  ip -n "$NS_PC" route add 10.0.0.0/24 dev "$IF"
  cli 0 open 00:1A:2B:3C:4D:5E
  ip -n "$NS_PC" route del 10.0.0.0/24 dev "$IF"
  cli_env=()
  for _ in $(seq 50); do [ -s "$work/browser.log" ] && break; sleep 0.1; done
  [ "$(cat "$work/browser.log")" = http://10.0.0.5/ ] && [[ $err == "cvsetup: Current setting may not"* ]] ||
    fail "cvsetup open: the browser was handed '$(cat "$work/browser.log")'; $err"

  # Taken, then refused: the request's bytes leave through the wired link.
  sim --converter "$D,ip=10.0.0.5"
  cli 0 assign 00-1A-2B-3C-4D-5E 192.168.0.3 --json
  holds "d == {'mac': '00:1a:2b:3c:4d:5e', 'address': '192.168.0.3', 'result': 'taken', 'error': None, 'link': $LINK}"
  [ "$(requests | tail -3)" = "$(thrice "$(assign_request c0a80003)")" ] || fail "cvsetup assign: $(requests | tail -3)"
  sim --converter "$D,ip=10.0.0.5,status=256"
  cli 4 assign 00:1a:2b:3c:4d:5e 192.168.0.3
  [ "$out" = "ZTL-BR720-Demo (00:1a:2b:3c:4d:5e) refused the address 192.168.0.3." ] || fail "cvsetup assign refused: $out"
  [ "$(requests | tail -3)" = "$(thrice "$(assign_request c0a80003)")" ] || fail "cvsetup assign refused: $(requests | tail -3)"

  # --wait: the converter switched on five seconds in is listed by a later search.
  sim --converter "$D,ip=10.0.0.5" --off
  (sleep 5; sim_switch_on) &
  cli 0 list --wait 25
  wait $!
  grep -qE "^ZTL-BR720-Demo +10\.0\.0\.5 " <<<"$out" && [ "$(requests | wc -l)" -gt 3 ] ||
    fail "cvsetup list --wait 25: $out; $(requests | wc -l) requests"

  # Nothing answers on either link: both are reported, and why.
  sim --converter "$D,ip=10.0.0.5,repeat=0"
  cli 1 diagnose --json
  shown 'diagnose --json'
  holds "d['converters'] == [] and sorted((l['adapter'], l['address'], l['netmask'], l['sent'], l['error'], l['received']) for l in d['links']) ==
    sorted([('$IF', '192.168.0.2', '255.255.255.0', True, None, 0), ('$NS_PC_OFFICE_IF', '172.20.0.2', '255.255.255.0', True, None, 0)])
    and [f['code'] for f in d['findings']].count('searched-no-answer') == 2 and all(f['text'] for f in d['findings'])"
  # Keys stay English; the findings' texts speak the user's language.
  cli_env=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LOCPATH="${LOCPATH:-}")
  cli 1 diagnose
  shown 'diagnose (ja)'
  cli 1 diagnose --json
  holds "d['findings'] and all(max(f['text']) > '\\u3000' for f in d['findings'])"
  cli_env=()
fi

for f in "$work/pc.err" "$log.err"; do [ ! -s "$f" ] || { echo "--- $f"; cat "$f"; }; done
[ "$failures" = 0 ] || { echo "--- simulator log"; cut -c1-120 "$log"; exit 1; }
echo "PASS ($mode)"
