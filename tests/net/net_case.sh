#!/usr/bin/env bash
# One integration case of the discovery protocol on a real socket port:
# cs-scan in the PC's namespace against converter-sim in a converter's
# namespace, joined by veth pairs that this script makes and removes.
#
#   net_case.sh CASE
#
# Environment:
#   CS_SCAN         cs-scan (host tree) or cs-scan.exe (windows tree)
#   CS_PORT_CHECK   port-check (or port-check.exe), for the port's own case
#   CONVERTER_SIM   the native simulator
#   CS_NET_MODE     host (default) or wine
#   CS_WINERUN      wine mode: the wine wrapper
#   CS_WINE_PREFIX  wine mode: the prefix of this case (its wineserver is
#                   started inside the PC's namespace and stopped afterwards)
#   CS_NET_WORK     a directory for logs (default: a temporary one)
#
# Every case expects the same outcome on both ports: they report in the same
# error numbering, and the tests hold them to it.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tools/ns/topology.sh
. "$here/../../tools/ns/topology.sh"

case_name=${1:?usage: net_case.sh CASE}
mode=${CS_NET_MODE:-host}
work=${CS_NET_WORK:-}
[ -n "$work" ] || work=$(mktemp -d)
mkdir -p "$work"
rm -f "$work"/*.log "$work"/*.log.err
log=$work/sim.log
: >"$log"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

wine_stop() {
  [ "$mode" = wine ] || return 0
  WINEPREFIX=$CS_WINE_PREFIX "$CS_WINERUN" --kill >/dev/null 2>&1
}

finish() {
  wine_stop
  ns_cleanup
}

ns_init
trap 'finish' EXIT
[ -x "$CS_SCAN" ] || [ -f "$CS_SCAN" ] || { echo "CS_SCAN not found: $CS_SCAN" >&2; exit 1; }
if [ "$mode" = wine ]; then
  [ -n "${CS_WINE_PREFIX:-}" ] && [ -x "${CS_WINERUN:-}" ] || { echo "wine mode needs CS_WINERUN and CS_WINE_PREFIX" >&2; exit 1; }
  # A wineserver of this prefix left from an earlier run lives in another
  # namespace; the wrapper would refuse it, so stop it first.
  wine_stop
fi

# in_pc PROGRAM ARGS...: a program of the tree in the PC's namespace
# (natively, or under wine with the case's prefix); its output, with line
# ends normalised, in $out.
wine_ready=
in_pc() {
  local program=$1 rc
  shift
  if [ "$mode" = wine ] && [ -z "$wine_ready" ]; then
    # The first use of a prefix may initialise and clone it (a minute or
    # more): done apart, under a longer timeout, with the wineserver started
    # inside the PC's namespace.
    ns_run "$NS_PC" 600 env WINEPREFIX="$CS_WINE_PREFIX" "$CS_WINERUN" --server \
      >>"$work/pc.log.err" 2>&1 || fail "the wineserver did not start in the PC's namespace"
    wine_ready=1
  fi
  if [ "$mode" = wine ]; then
    out=$(ns_run "$NS_PC" 90 env WINEPREFIX="$CS_WINE_PREFIX" CS_WINE_TIMEOUT=60 \
      "$CS_WINERUN" "$program" "$@" 2>>"$work/pc.log.err")
    rc=$?
  else
    out=$(ns_run "$NS_PC" 60 "$program" "$@" 2>>"$work/pc.log.err")
    rc=$?
  fi
  out=$(tr -d '\r' <<<"$out")
  echo "--- $(basename "$program") $*"
  echo "$out"
  [ $rc = 0 ] || fail "$(basename "$program") $* exited with $rc"
}

# pc COMMAND ARGS...: cs-scan in the PC's namespace.
pc() { in_pc "$CS_SCAN" "$@"; }

# expect TEXT: the last cs-scan output is exactly TEXT.
expect() {
  [ "$out" = "$1" ] || fail "expected:
$1
got:
$out"
}

# expect_line LINE: the last cs-scan output holds this line.
expect_line() {
  grep -qxF -- "$1" <<<"$out" || fail "expected the line: $1"
}

# received: the simulator's log as "PORT LEN HEX" per datagram.
received() {
  grep '^rx ' "$log" | awk '{ split($2, a, ":"); print a[2], $3, $4 }'
}

zeros() { printf '%0*d' $(($1 * 2)) 0; }

DISCOVERY_REQUEST=01$(zeros 115)
A=name=CONV-A,mac=00:1a:2b:3c:4d:5e
B=name=CONV-B,mac=00:1a:2b:3c:4d:5f
C=name=CONV-C,mac=02:00:00:00:00:01
PROBE='probe address=192.168.0.2 netmask=255.255.255.0'

case_requests_on_the_wire() {
  topo_other_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=10.0.0.5,status=silent"
  pc scan
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  local assign_request
  assign_request=0102$(zeros 2)6c6164646572$(zeros 26)001a2b3c4d5e$(zeros 2)c0a80032$(zeros 68)
  local lines ports
  lines=$(received | awk '{ print $2, $3 }')
  [ "$lines" = "len=116 $DISCOVERY_REQUEST
len=116 $DISCOVERY_REQUEST
len=116 $DISCOVERY_REQUEST
len=116 $assign_request
len=116 $assign_request
len=116 $assign_request" ] || fail "requests on the wire:
$lines"
  # Each exchange sends from one socket bound to a port of the system's choice.
  ports=$(received | awk '{ print $1 }' | uniq | wc -l)
  [ "$ports" = 2 ] || fail "expected one source port per exchange, got $(received | awk '{ print $1 }' | tr '\n' ' ')"
  received | awk '$1 == 192 { exit 1 }' || fail "a request came from port 192"
}

case_one_converter_in_the_same_subnet_is_found() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
  pc subnet 192.168.0.50
  expect "subnet result=1 address=192.168.0.2 netmask=255.255.255.0"
}

case_converter_in_another_subnet_is_found_outside_the_pc_subnet() {
  topo_other_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=10.0.0.5"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
  pc subnet 10.0.0.5
  expect_line "subnet result=0 address=192.168.0.2 netmask=255.255.255.0"
}

case_equal_names_are_stored_once_first_answer_wins() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "name=TWIN,mac=00:00:00:00:00:02,ip=192.168.0.60,delay=200" \
    --converter "name=TWIN,mac=00:00:00:00:00:01,ip=192.168.0.61"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.61 mac=00:00:00:00:00:01 status=0 name=TWIN
$PROBE"
}

case_three_converters_are_listed_in_order_of_arrival() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "$C,ip=192.168.0.52,delay=200" \
    --converter "$A,ip=192.168.0.50" --converter "$B,ip=192.168.0.51,delay=100,repeat=3"
  pc scan
  expect "scan result=0 status=0 count=3
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
device 1 address=192.168.0.51 mac=00:1a:2b:3c:4d:5f status=0 name=CONV-B
device 2 address=192.168.0.52 mac=02:00:00:00:00:01 status=0 name=CONV-C
$PROBE"
}

case_nothing_answering_times_out() {
  topo_same_subnet
  pc scan
  expect "scan result=-1 status=10060 count=0
$PROBE"
}

case_replies_failing_acceptance_are_dropped() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" \
    --converter "name=SHORT,mac=00:00:00:00:01:01,ip=192.168.0.61,fault=short" \
    --converter "name=PORT,mac=00:00:00:00:01:02,ip=192.168.0.62,fault=wrong-port" \
    --converter "name=PROTO,mac=00:00:00:00:01:03,ip=192.168.0.63,fault=wrong-protocol" \
    --converter "name=OP,mac=00:00:00:00:01:04,ip=192.168.0.64,fault=wrong-operation" \
    --converter "$A,ip=192.168.0.50,delay=300"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
}

case_short_reply_alone_leaves_nothing_found() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50,fault=short"
  pc scan
  expect "scan result=-1 status=10060 count=0
$PROBE"
}

case_long_reply_fails_the_scan_with_message_too_long() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50,fault=long"
  pc scan
  expect "scan result=-1 status=10040 count=0
$PROBE"
  # The scan ended at the first receive: one request only.
  [ "$(received | wc -l)" = 1 ] || fail "expected one request before the failure, got $(received | wc -l)"
}

case_more_than_64_converters_fill_the_table_to_64() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --flood 70
  pc scan
  expect_line "scan result=0 status=0 count=64"
  expect_line "device 63 address=10.200.0.63 mac=02:f1:00:00:00:3f status=0 name=flood-00063"
  [ "$(grep -c '^device ' <<<"$out")" = 64 ] || fail "expected 64 device lines"
}

# A sender that never falls silent: the port's clock ends each cycle anyway,
# so the scan finishes with what it found after its three requests.
case_chatty_sender_cannot_hold_the_scan_open() {
  topo_same_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50" --chatter 300
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
  [ "$(received | awk '{ print $2, $3 }' | sort -u)" = "len=116 $DISCOVERY_REQUEST" ] \
    && [ "$(received | wc -l)" = 3 ] || fail "expected exactly three discovery requests"
}

# The converter in another subnet, moved by its namespace's command when it
# takes the address: the PC reaches it at the new address afterwards.
assign_topology() {
  topo_other_subnet
  sim_start "$NS_CONV" "$log" --converter "$A,ip=10.0.0.5,$1" \
    --on-assign "ip addr flush dev $NS_CONV_IF && ip addr add \"\$1\"/24 dev $NS_CONV_IF"
}

case_assign_accepted_moves_the_converter() {
  assign_topology status=1
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  expect "assign result=1 count=3
reply 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=1 name=CONV-A
reply 1 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=1 name=CONV-A
reply 2 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=1 name=CONV-A"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
  ip -n "$NS_CONV" -4 addr show dev "$NS_CONV_IF" | grep -q 'inet 192.168.0.50/24' \
    || fail "the converter's namespace did not move to 192.168.0.50"
  pc subnet 192.168.0.50
  expect_line "subnet result=1 address=192.168.0.2 netmask=255.255.255.0"
}

case_assign_refused_keeps_the_old_address() {
  assign_topology status=256
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  expect "assign result=0 count=3
reply 0 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=256 name=CONV-A
reply 1 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=256 name=CONV-A
reply 2 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=256 name=CONV-A"
  pc scan
  expect_line "device 0 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A"
}

case_assign_unanswered_gives_0() {
  assign_topology status=silent
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  expect "assign result=0 count=0"
  # A request naming another MAC is not for this converter either.
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5f
  expect "assign result=0 count=0"
  [ "$(received | wc -l)" = 6 ] || fail "expected six assign requests"
}

case_assign_to_another_mac_is_ignored() {
  assign_topology status=1
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5f
  expect "assign result=0 count=0"
  pc scan
  expect_line "device 0 address=10.0.0.5 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A"
}

case_host_unreachable_reaches_scanpoll_as_10065() {
  topo_unreachable
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50"
  pc scan
  expect "scan result=10065 status=10065 count=0
$PROBE"
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  expect "assign result=0 count=0"
  [ "$(received | wc -l)" = 0 ] || fail "a request got through the unreachable route"
}

case_no_broadcast_route_fails_with_network_unreachable() {
  topo_no_route
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50"
  pc scan
  expect "scan result=-1 status=10051 count=0
$PROBE"
  pc assign 192.168.0.50 00:1a:2b:3c:4d:5e
  expect "assign result=0 count=0"
}

case_more_than_ten_interfaces_are_read_whole() {
  topo_many_interfaces 12
  sim_start "$NS_CONV" "$log" --converter "$A,ip=192.168.0.50"
  pc scan
  expect "scan result=0 status=0 count=1
device 0 address=192.168.0.50 mac=00:1a:2b:3c:4d:5e status=0 name=CONV-A
$PROBE"
  # The last of fourteen entries is still seen.
  pc subnet 10.77.12.9
  expect "subnet result=1 address=10.77.12.2 netmask=255.255.255.0"
}

# The socket port itself (port-check holds the details): interface list,
# too-long and short datagrams, sender ports, readiness, thread start.
case_socket_port_keeps_its_contract() {
  [ -f "${CS_PORT_CHECK:-}" ] || { fail "CS_PORT_CHECK is not set to port-check"; return; }
  topo_many_interfaces 12
  sim_start "$NS_CONV" "$log" \
    --converter "name=LONG,mac=02:00:00:00:00:01,ip=192.168.0.51,fault=long" \
    --converter "name=SHORT,mac=02:00:00:00:00:02,ip=192.168.0.52,fault=short" \
    --converter "name=PORT,mac=02:00:00:00:00:03,ip=192.168.0.53,fault=wrong-port"
  in_pc "$CS_PORT_CHECK"
  expect "port-check: 0 failed"
}

case_subnet_test_walks_both_interfaces() {
  topo_two_interfaces
  pc subnet 172.16.5.9
  expect "subnet result=1 address=172.16.5.2 netmask=255.255.255.0"
  pc subnet 192.168.0.77
  expect "subnet result=1 address=192.168.0.2 netmask=255.255.255.0"
  # No subnet holds it: the texts of the last entry walked.
  pc subnet 10.9.9.9
  expect "subnet result=0 address=172.16.5.2 netmask=255.255.255.0"
  pc subnet
  expect "subnet result=0 address=172.16.5.2 netmask=255.255.255.0"
}

fn=case_$case_name
declare -F "$fn" >/dev/null || { echo "no such case: $case_name" >&2; exit 2; }
"$fn"
if [ -s "$work/pc.log.err" ]; then
  echo "--- stderr of cs-scan"
  cat "$work/pc.log.err"
fi
if [ -s "$log.err" ]; then
  echo "--- stderr of converter-sim"
  cat "$log.err"
fi
if [ "$failures" != 0 ]; then
  echo "--- simulator log"
  cut -c1-120 "$log"
  exit 1
fi
echo "PASS: $case_name ($mode)"
