#!/usr/bin/env bash
# The rescan on the Winsock port under wine, against converter-sim, inside
# namespaces that this script makes and removes. The test program runs in the
# PC's namespace with a wineserver started there (winerun refuses any other).
#
#   rescan_net_case.sh CASE
#
# Environment: CS_LIST_NET_TESTS (list_net_tests.exe), CONVERTER_SIM,
# CS_WINERUN, CS_WINE_PREFIX, CS_NET_WORK (logs), DISPLAY.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tools/ns/topology.sh
. "$here/../../tools/ns/topology.sh"

case_name=${1:?usage: rescan_net_case.sh CASE}
work=${CS_NET_WORK:-$(mktemp -d)}
mkdir -p "$work"
log=$work/sim.log
: >"$log"
: >"$work/pc.log.err"

wine_stop() { WINEPREFIX=$CS_WINE_PREFIX "$CS_WINERUN" --kill >/dev/null 2>&1; }
finish() {
  wine_stop
  ns_cleanup
}
ns_init
trap 'finish' EXIT
[ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set" >&2; exit 1; }
# A wineserver of this prefix left from an earlier run lives in another namespace.
wine_stop

case $case_name in
  one_converter)
    filter=RescanOnTheNetwork.OneConverterIsSelectedAndTheSetupPageButtonOpensIt
    topo_same_subnet
    sim_start "$NS_CONV" "$log" --converter "name=ZTL-BR720 sim,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50"
    ;;
  two_supported_of_three)
    filter=RescanOnTheNetwork.SupportedConvertersAreListedInArrivalOrderAndNoneIsSelected
    topo_same_subnet
    sim_start "$NS_CONV" "$log" \
      --converter "name=ZTL-BR710 first,mac=02:00:00:00:00:01,ip=192.168.0.51" \
      --converter "name=ZTL-AX300-G,mac=02:00:00:00:00:03,ip=192.168.0.53,delay=100" \
      --converter "name=ZTL-BR720 second,mac=02:00:00:00:00:02,ip=192.168.0.52,delay=200"
    ;;
  host_unreachable)
    filter=RescanOnTheNetwork.HostUnreachableEndsWithNotice4AndScanEnabledAgain
    topo_unreachable
    sim_start "$NS_CONV" "$log" --converter "name=ZTL-BR720 sim,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50"
    ;;
  *) echo "no such case: $case_name" >&2; exit 2 ;;
esac

# The prefix's first use may initialise it: apart, under a longer timeout.
ns_run "$NS_PC" 600 env WINEPREFIX="$CS_WINE_PREFIX" "$CS_WINERUN" --server \
  >>"$work/pc.log.err" 2>&1 || { echo "the wineserver did not start in the PC's namespace" >&2; cat "$work/pc.log.err" >&2; exit 1; }
out=$(ns_run "$NS_PC" 120 env WINEPREFIX="$CS_WINE_PREFIX" CS_WINE_TIMEOUT=90 \
  CS_LIST_NET_NAMESPACE=1 "$CS_WINERUN" "$CS_LIST_NET_TESTS" --gtest_filter="$filter" \
  2>>"$work/pc.log.err")
rc=$?
tr -d '\r' <<<"$out"
if [ $rc != 0 ] || ! grep -q '^\[  PASSED  \] 1 test' <<<"$(tr -d '\r' <<<"$out")"; then
  echo "--- stderr"; cat "$work/pc.log.err"
  echo "--- simulator log"; cut -c1-120 "$log"; cat "$log.err" 2>/dev/null
  echo "FAIL: $case_name (exit $rc)"
  exit 1
fi
# The program's three discovery requests reached the converter (none when
# the broadcast route is unreachable).
requests=$(grep -c '^rx ' "$log")
if [ "$case_name" = host_unreachable ]; then expected=0; else expected=3; fi
[ "$requests" = "$expected" ] || { echo "FAIL: $requests discovery requests reached the simulator, expected $expected"; exit 1; }
echo "PASS: $case_name"
