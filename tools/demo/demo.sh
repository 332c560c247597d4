#!/usr/bin/env bash
# The demo: ConverterSetup.exe under wine, on a laptop that is on the office
# network and wired to a converter, finds the simulated converter behind the
# wired link (another subnet, no default route there), gives it a temporary
# address next to the laptop's own on that link and sends the browser to its
# setup page at that address.
#
# Everything runs in network namespaces that this script makes (the laptop,
# the office network and the converter, the laptop joined to each by a veth
# pair) inside the run's isolated namespace;
# nothing reaches this machine's network. The "browser" is the xdg-open
# stand-in: it records the address the program asked for and fetches the page
# with curl inside the PC's namespace, from the simulator's small web server,
# which moves with the converter to its new address.
#
# Where a person watches (a terminal on stdin and no CI), the person presses
# Execute Setup; otherwise the demo presses it. A screenshot of every step
# goes to <build>/demo/shots.
#
# Runs from ./run demo. CS_BUILD names the build folder; CS_WIN_TREE and
# CS_HOST_TREE override the trees below it.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CS_BUILD:-$root/build}
win=${CS_WIN_TREE:-$build/windows}
host=${CS_HOST_TREE:-$build/host}
# shellcheck source=../../tools/ns/topology.sh
. "$root/tools/ns/topology.sh"

CONVERTER_SIM=$host/tools/converter-sim/converter-sim
exe=$win/app/ConverterSetup.exe
drive_exe=$win/tools/drive/cs-drive.exe
winlog_exe=$win/tools/winlog/cs-winlog.exe
browser_dir=$win/tools/browser
winerun=$root/tools/wine/winerun
work=$build/demo
shots=$work/shots
export WINEPREFIX=$work/wine-prefix
mkdir -p "$work"
rm -rf "$shots"
mkdir -p "$shots"
for f in "$CONVERTER_SIM" "$exe" "$drive_exe" "$winlog_exe" "$browser_dir/xdg-open"; do
  [ -e "$f" ] || { echo "demo: missing $f (build the host and windows trees first)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "demo: no display" >&2; exit 1; }

app_pid=
winlog_pid=
finish() {
  touch "$work/stop"
  [ -n "$winlog_pid" ] && wait "$winlog_pid" 2>/dev/null
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  "$winerun" --kill >/dev/null 2>&1
  ns_cleanup
}
ns_init
trap finish EXIT

step() { printf '\n== %s\n' "$*"; }
in_pc() {
  local seconds=$1
  shift
  ns_run "$NS_PC" "$seconds" env CS_WINE_TIMEOUT=$((seconds - 5)) "$@"
}
drive() { in_pc 200 "$winerun" "$drive_exe" "$@" 2>/dev/null | tr -d '\r'; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
shot_count=0
shot() {
  shot_count=$((shot_count + 1))
  local file
  file=$shots/$(printf '%02d' "$shot_count")-$1.png
  import -window root "$file" 2>/dev/null && echo "   screenshot: $file"
}

# wait_shown N: true once the program has shown its Nth window (in either
# language: 1 progress, 2 address setup, 3 setting the address); false when
# the program ends first.
wait_shown() {
  while kill -0 "$app_pid" 2>/dev/null; do
    [ "$(grep -cE '^[0-9.]+ show ' "$work/windows.log" 2>/dev/null)" -ge "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

people=1
{ [ -t 0 ] && [ -z "${CI:-}" ]; } || people=

topo_two_links wired-first 10.0.0.5/24
rm -f "$work/converter.log" "$work/converter.log.err"
sim_start "$NS_CONV" "$work/converter.log" \
  --converter name=ZTL-BR720-Demo,mac=00:1a:2b:3c:4d:5e,ip=10.0.0.5,status=1 \
  --http 80 \
  --on-assign "ip addr flush dev $NS_CONV_IF && ip addr add \"\$1\"/24 dev $NS_CONV_IF"
step "laptop (namespace $NS_PC): office link 172.20.0.2/24 holding the default route (namespace $NS_OFFICE), wired link 192.168.0.2/24; converter ZTL-BR720-Demo behind the wired link at 10.0.0.5 (namespace $NS_CONV), its setup page served on port 80"

step "starting wine in the PC's namespace (the first run prepares a wine prefix: a minute or two)"
"$winerun" --kill >/dev/null 2>&1
in_pc 600 "$winerun" --server >"$work/wine.log" 2>&1 || { echo "demo: wine did not start" >&2; exit 1; }
rm -f "$work/stop" "$work/windows.log" "$work/browser.log" "$work/page.html"
in_pc 600 "$winerun" "$winlog_exe" "$(winpath "$work/windows.log")" "$(winpath "$work/stop")" \
  >>"$work/wine.log" 2>&1 </dev/null &
winlog_pid=$!
for _ in $(seq 200); do grep -qx ready "$work/windows.log" 2>/dev/null && break; sleep 0.1; done

step "ConverterSetup.exe starts and scans through both links (three broadcasts each, one second of listening)"
in_pc 600 env PATH="$browser_dir:$PATH" CS_BROWSER_LOG="$work/browser.log" \
  CS_BROWSER_FETCH="$work/page.html" "$winerun" "$exe" >>"$work/wine.log" 2>&1 </dev/null &
app_pid=$!
wait_shown 1 && shot scanning

# The address setup dialog: the first titled window with a size, whatever
# the user's language names it.
dialog=
for _ in $(seq 120); do
  dialog=$(drive top | grep -v 'title="" ' | grep -v ' size=0x0$' | awk '{ print $2; exit }')
  [ -n "$dialog" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.5
done
[ -n "$dialog" ] || { echo "demo: the address setup dialog did not appear" >&2; cat "$work/windows.log"; exit 1; }
step "the converter answered on the wired link from another subnet: the address setup dialog suggests $(drive address "$dialog" 1016 | sed 's/.*value=//')"
shot address-setup
if [ -n "$people" ]; then
  echo "   press Execute Setup in the window (or Cancel)"
else
  echo "   no one at the keyboard: the demo presses Execute Setup"
  sleep 1
  drive press "$dialog" 4 >/dev/null
fi
if wait_shown 3; then
  step "the converter is given the address (three assign requests, its status answer)"
  shot setting-address
fi

wait "$app_pid"
rc=$?
app_pid=
touch "$work/stop"
wait "$winlog_pid" 2>/dev/null
winlog_pid=
for _ in $(seq 100); do [ -s "$work/page.html" ] && break; sleep 0.1; done

step "what the program showed, in order"
grep -E '^[0-9.]+ show ' "$work/windows.log" | cut -d' ' -f3- | sed 's/^/   /'
step "ConverterSetup.exe ended with status $rc"
step "what the converter received (one line per datagram: sender, length, bytes 0-47 in hex)"
cut -c1-125 "$work/converter.log" | sed 's/^/   /'
step "the address the browser was asked to open"
if [ -s "$work/browser.log" ]; then
  sed 's/^/   /' "$work/browser.log"
else
  echo "   (none: the setup was cancelled or failed)"
fi
if [ -s "$work/page.html" ]; then
  step "the page the browser stand-in fetched there"
  sed 's/^/   /' "$work/page.html"
  echo
fi
step "screenshots in $shots"
