#!/usr/bin/env bash
# The demo: a PC and a simulated converter in network namespaces of their own,
# the converter in another subnet than the PC. The PC scans for it, tests its
# subnet, and gives it an address next to its own: first with the protocol
# core on Linux sockets, then with the Windows build on Winsock under wine.
#
# Runs from ./run demo, inside the run's isolated namespace. CS_BUILD names
# the build folder (host and windows trees below it).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CS_BUILD:-$root/build}
# shellcheck source=../../tests/ns/topology.sh
. "$root/tests/ns/topology.sh"

CONVERTER_SIM=$build/host/tools/converter-sim/converter-sim
scan_host=$build/host/tools/cs-scan/cs-scan
scan_exe=$build/windows/tools/cs-scan/cs-scan.exe
winerun=$root/tests/wine/winerun
work=$build/demo
prefix=$work/wine-prefix
mkdir -p "$work"

finish() {
  WINEPREFIX=$prefix "$winerun" --kill >/dev/null 2>&1
  ns_cleanup
}
ns_init
trap finish EXIT

step() { printf '\n== %s\n' "$*"; }

topo_other_subnet
# The converter moves to the address it is given, so its setup page would be
# reachable there.
sim_start "$NS_CONV" "$work/converter.log" \
  --converter name=WLC-Demo,mac=00:1a:2b:3c:4d:5e,ip=10.0.0.5,status=1 \
  --on-assign "ip addr add \$CS_SIM_NEW_ADDRESS/24 dev $NS_CONV_IF"

step "PC 192.168.0.2/24 (namespace $NS_PC); converter WLC-Demo at 10.0.0.5 (namespace $NS_CONV)"

for port in linux windows; do
  if [ "$port" = linux ]; then
    step "Linux sockets: scan"
    pc() { ns_run "$NS_PC" 60 "$scan_host" "$@"; }
  else
    step "Windows build under wine (Winsock): scan"
    WINEPREFIX=$prefix "$winerun" --kill >/dev/null 2>&1
    pc() { ns_run "$NS_PC" 120 env WINEPREFIX="$prefix" "$winerun" "$scan_exe" "$@" | tr -d '\r'; }
  fi
  pc scan
  step "subnet test for the converter's address 10.0.0.5"
  pc subnet 10.0.0.5
  address=192.168.0.$([ "$port" = linux ] && echo 3 || echo 4)
  step "give the converter the temporary address $address"
  pc assign "$address" 00:1a:2b:3c:4d:5e
  step "scan again: the converter reports its new address"
  pc scan
done

sim_stop >/dev/null
step "what the converter received (one line per datagram)"
cat "$work/converter.log"
