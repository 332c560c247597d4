#!/usr/bin/env bash
# One end-to-end case: the real ConverterSetup.exe under wine in the PC's
# network namespace against converter-sim in a converter's namespace. The
# case drives the program's windows from outside as a user would (cs-drive)
# and checks what the user saw (every dialog shown, in order, by title and
# texts: cs-winlog), what the shell was asked to open (the browser address
# through the xdg-open stand-in, the help viewer's parameter through the
# hh.exe stand-in in the prefix), the bytes the converter received (the
# simulator's log) and the program's exit status.
#
#   e2e_case.sh CASE
#
# Environment (set by tests/e2e/CMakeLists.txt):
#   CS_EXE CS_DRIVE CS_WINLOG CS_HHLOGGER  the programs (windows tree)
#   CS_BROWSER_DIR   directory holding only the xdg-open stand-in
#   CONVERTER_SIM    the native simulator
#   CS_WINERUN       the wine wrapper
#   CS_WINE_PREFIX   the cases' prefix (its wineserver is started anew inside
#                    each case's PC namespace and stopped afterwards)
#   CS_E2E_WORK      a directory for this case's logs
#   LOCPATH          where ja_JP.UTF-8 was generated (the Japanese case)
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tools/ns/topology.sh
. "$here/../../tools/ns/topology.sh"

case_name=${1:?usage: e2e_case.sh CASE}
work=${CS_E2E_WORK:-}
[ -n "$work" ] || work=$(mktemp -d)
rm -rf "$work"
mkdir -p "$work"
simlog=$work/sim.log
winlog=$work/windows.log
browserlog=$work/browser.log
hhlog=$work/hh.log
stopfile=$work/stop
: >"$simlog"
: >"$browserlog"
: >"$hhlog"
export WINEPREFIX=$CS_WINE_PREFIX

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Windows path of a Unix path (wine's Z: drive is the Unix root).
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

wine_stop() { "$CS_WINERUN" --kill >/dev/null 2>&1; }

winlog_pid=
app_pid=
finish() {
  touch "$stopfile"
  [ -n "$winlog_pid" ] && { wait "$winlog_pid" 2>/dev/null; }
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  wine_stop
  ns_cleanup
}

ns_init
trap 'finish' EXIT
for f in "$CS_EXE" "$CS_DRIVE" "$CS_WINLOG" "$CS_HHLOGGER" "$CONVERTER_SIM"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "e2e: DISPLAY is not set" >&2; exit 1; }
# A wineserver of this prefix left from another case lives in another
# namespace: the wrapper would refuse it.
wine_stop

# Everything wine runs lives in the PC's namespace, with this case's server.
in_pc() {
  local seconds=$1
  shift
  ns_run "$NS_PC" "$seconds" env CS_WINE_TIMEOUT=$((seconds - 5)) "$@"
}

# prepare: the prefix's server inside the PC's namespace (the first case
# initialises the prefix: minutes), the help viewer replaced by the logger,
# and the window log running.
prepare() {
  in_pc 600 "$CS_WINERUN" --server >>"$work/wine.err" 2>&1 \
    || { fail "the wineserver did not start in the PC's namespace"; exit 1; }
  local dir
  for dir in "$WINEPREFIX/drive_c/windows" "$WINEPREFIX/drive_c/windows/system32"; do
    [ -d "$dir" ] && cp "$CS_HHLOGGER" "$dir/hh.exe"
  done
  # An exe in system32 loads wine's own build before the file there, unless
  # the prefix says otherwise: the stand-in must be what the shell starts.
  if [ ! -f "$WINEPREFIX/.cs-e2e-hh-native" ]; then
    in_pc 60 "$CS_WINERUN" reg add 'HKCU\Software\Wine\DllOverrides' /v hh.exe /d native /f \
      >>"$work/wine.err" 2>&1 && touch "$WINEPREFIX/.cs-e2e-hh-native"
  fi
  in_pc 300 "$CS_WINERUN" "$CS_WINLOG" "$(winpath "$winlog")" "$(winpath "$stopfile")" \
    >>"$work/wine.err" 2>&1 </dev/null &
  winlog_pid=$!
  local i
  for i in $(seq 300); do
    grep -qx ready "$winlog" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the window log did not start"
  exit 1
}

# start_app [ENV=VALUE...]: the program, in the background; its exit status
# is collected by wait_exit.
start_app() {
  in_pc 120 env PATH="$CS_BROWSER_DIR:$PATH" CS_BROWSER_LOG="$browserlog" \
    CS_BROWSER_FETCH="$work/page.html" CS_HHLOG="$(winpath "$hhlog")" "$@" \
    "$CS_WINERUN" "$CS_EXE" >>"$work/app.out" 2>&1 </dev/null &
  app_pid=$!
}

# wait_exit: the program ended by itself with status 0.
wait_exit() {
  local rc
  wait "$app_pid"
  rc=$?
  app_pid=
  [ "$rc" = 0 ] || fail "ConverterSetup.exe exited with status $rc"
}

# drive ARGS...: cs-drive in the PC's namespace; output in $out.
drive() {
  out=$(in_pc 60 "$CS_WINERUN" "$CS_DRIVE" "$@" 2>>"$work/drive.err" | tr -d '\r')
}

# ascii TEXT: the text with every non-ASCII character as \uXXXX (cs-drive's
# escape, whatever code page wine reads the command line in).
ascii() {
  python3 -c 'import sys; print("".join(c if ord(c) < 128 else "\\u%04x" % ord(c) for c in sys.argv[1]))' "$1"
}

# window TITLE TEXT: waits for the visible dialog with this title that holds
# this text (line feeds written as \n); its handle in $window.
window() {
  drive wait --title "$(ascii "$1")" --text "$(ascii "$2")" --visible --timeout-ms 30000
  window=$out
  [ -n "$window" ] || { fail "no window \"$1\" showing \"$2\""; finish_case; }
}

# press ID: presses a button of $window.
press() {
  drive press "$window" "$1"
  [ -n "$out" ] || fail "could not press button $1 of $window"
}

# shown: the dialogs shown, in order, without times (a dialog that changes
# its texts while shown appears once per change).
shown() {
  grep -E '^[0-9.]+ show ' "$winlog" | cut -d' ' -f3-
}

# expect_shown LINE...: exactly these dialogs were shown, in this order.
expect_shown() {
  local want got
  want=$(printf '%s\n' "$@")
  got=$(shown)
  [ "$got" = "$want" ] || fail "dialogs shown:
$got
expected:
$want"
}

# wait_for_line FILE LINE: programs the shell starts run on after the
# program ended; wait for what they write.
wait_for_line() {
  local i
  for i in $(seq 200); do
    grep -qxF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no line [$2] in $(basename "$1"):
$(cat "$1")"
}

# expect_empty FILE: nothing was started (after the time a start would take).
expect_empty() {
  sleep 1
  [ ! -s "$1" ] || fail "$(basename "$1") should be empty:
$(cat "$1")"
}

# The help viewer's parameter: the help file beside the program and a topic.
help_line() { printf '%s::/HTML/%s' "$(winpath "$(dirname "$CS_EXE")/Help.chm")" "$1"; }

# received: the simulator's log as "LEN HEX" per datagram.
received() { grep '^rx ' "$simlog" | awk '{ print $3, $4 }'; }

zeros() { printf '%0*d' $(($1 * 2)) 0; }
DISCOVERY=$(printf 'len=116 01%s' "$(zeros 115)")
# The assign request for 00:1a:2b:3c:4d:5e and the address given as 8 hex digits.
assign_request() { printf 'len=116 0102%s6c6164646572%s001a2b3c4d5e%s%s%s' "$(zeros 2)" "$(zeros 26)" "$(zeros 2)" "$1" "$(zeros 68)"; }

# expect_received LINE...: the converter received exactly these datagrams.
expect_received() {
  local want got
  want=$(printf '%s\n' "$@")
  got=$(received)
  [ "$got" = "$want" ] || fail "datagrams received:
$(cut -c1-60 <<<"$got")
expected:
$(cut -c1-60 <<<"$want")"
}

finish_case() {
  report
  exit 1
}

report() {
  touch "$stopfile"
  [ -n "$winlog_pid" ] && wait "$winlog_pid" 2>/dev/null
  winlog_pid=
  if [ "$failures" != 0 ]; then
    echo "--- window log"; cat "$winlog"
    echo "--- browser log"; cat "$browserlog"
    echo "--- help log"; cat "$hhlog"
    echo "--- simulator log"; cut -c1-100 "$simlog"; cat "$simlog.err" 2>/dev/null
    echo "--- wine and drive stderr"; tail -20 "$work/wine.err" "$work/drive.err" "$work/app.out" 2>/dev/null
  fi
}

A=name=ZTL-BR720-A,mac=00:1a:2b:3c:4d:5e
B=name=ZTL-BR710-B,mac=00:1a:2b:3c:4d:5f

# The windows, as cs-winlog writes them.
PROGRESS='title="" texts="Scanning..."'
LAUNCHING='title="" texts="Launching Converter Setup Page..."'
SETTING='title="" texts="Setting IP Address..."'
IP_SETUP='title="IP Address Setup" texts="Execute Setup|Cancel|To set up the converter, it is required to change the Converter'"'"'s IP address temporary.  Would you like to proceed?|Converter IP Address : |Computer IP Address :   192.168.0.2"'
notice() { printf 'title="Error" texts="Yes|No|%s"' "$1"; }
NOT_FOUND_TEXT='\n     Converter not detected. \n     Do you want see Online Help?'
NOT_FOUND=$(notice "$NOT_FOUND_TEXT")
SEVERAL_TEXT='There are more than two converters found in the same network segment.\nDo you want to see Online Help?'
ASSIGN_FAILED_TEXT='Failed to change the IP address. Do you want to see Online Help?'
INCOMPLETE_TEXT='Please insert an IP address.'
UNREACHABLE_TEXT='Failed to scan the Wireless Converter.\nMake sure the network cable is plugged in to the Ethernet port and the Wireless Converter is turned on.\n\nDo you want to see Online Help?'

# ---------------------------------------------------------------- the cases

case_one_converter_in_the_subnet_opens_its_page() {
  topo_same_subnet
  sim_start "$NS_CONV" "$simlog" --converter "$A,ip=192.168.0.50" --http 80
  prepare
  start_app
  wait_exit
  wait_for_line "$browserlog" "http://192.168.0.50/"
  expect_shown "$PROGRESS" "$LAUNCHING"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY"
  expect_empty "$hhlog"
  grep -q 'ZTL-BR720-A' "$work/page.html" 2>/dev/null || fail "the setup page was not fetched at 192.168.0.50"
}

# The converter moves its namespace to the address it takes and serves its
# page there: the browser is sent to the new address and finds it.
other_subnet() {
  topo_other_subnet
  sim_start "$NS_CONV" "$simlog" --converter "$A,ip=10.0.0.5,$1" --http 80 \
    --on-assign "ip addr flush dev $NS_CONV_IF && ip addr add \"\$1\"/24 dev $NS_CONV_IF"
  prepare
  start_app "${@:2}"
  window "$SETUP_TITLE" "$SETUP_BUTTON"
}
SETUP_TITLE="IP Address Setup"
SETUP_BUTTON="Execute Setup"

case_other_subnet_address_accepted_opens_the_page_at_the_new_address() {
  other_subnet status=1
  drive address "$window" 1016
  [ "$out" = "address filled=4 value=192.168.0.3" ] || fail "suggested address: $out"
  press 4
  wait_exit
  wait_for_line "$browserlog" "http://192.168.0.3/"
  expect_shown "$PROGRESS" "$IP_SETUP" "$SETTING" "$LAUNCHING"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY" \
    "$(assign_request c0a80003)" "$(assign_request c0a80003)" "$(assign_request c0a80003)"
  expect_empty "$hhlog"
  grep -q 'ZTL-BR720-A' "$work/page.html" 2>/dev/null || fail "the setup page was not fetched at 192.168.0.3"
}

# assign_fails STATUS ANSWER: the converter does not take the address; notice
# 1 follows, answered Yes (1, help T150) or No (2, nothing).
assign_fails() {
  other_subnet "$1"
  press 4
  window Error "$ASSIGN_FAILED_TEXT"
  press "$2"
  wait_exit
  expect_shown "$PROGRESS" "$IP_SETUP" "$SETTING" "$(notice "$ASSIGN_FAILED_TEXT")"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY" \
    "$(assign_request c0a80003)" "$(assign_request c0a80003)" "$(assign_request c0a80003)"
  expect_empty "$browserlog"
}

case_other_subnet_address_refused_offers_the_address_change_help() {
  assign_fails status=256 1
  wait_for_line "$hhlog" "$(help_line T150CNT_CHANGE.html)"
}

case_other_subnet_assignment_unanswered_ends_after_no() {
  assign_fails status=silent 2
  expect_empty "$hhlog"
}

case_other_subnet_dialog_cancelled_sends_no_assignment() {
  other_subnet status=1
  press 1013
  window Error "$ASSIGN_FAILED_TEXT"
  press 1
  wait_exit
  wait_for_line "$hhlog" "$(help_line T150CNT_CHANGE.html)"
  expect_shown "$PROGRESS" "$IP_SETUP" "$(notice "$ASSIGN_FAILED_TEXT")"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY"
  expect_empty "$browserlog"
}

case_incomplete_address_is_refused_then_the_corrected_one_is_used() {
  other_subnet status=1
  local dialog=$window
  drive settext "$dialog" 1016 192.168..7
  press 4
  window Error "$INCOMPLETE_TEXT"
  press 2
  drive wait-gone "$window" --timeout-ms 10000
  window=$dialog
  drive settext "$dialog" 1016 192.168.0.7
  [ "$out" = "address filled=4 value=192.168.0.7" ] || fail "address field: $out"
  press 4
  wait_exit
  wait_for_line "$browserlog" "http://192.168.0.7/"
  expect_shown "$PROGRESS" "$IP_SETUP" "$(notice "$INCOMPLETE_TEXT")" "$SETTING" "$LAUNCHING"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY" \
    "$(assign_request c0a80007)" "$(assign_request c0a80007)" "$(assign_request c0a80007)"
  expect_empty "$hhlog"
}

case_no_converter_offers_the_not_found_help() {
  topo_same_subnet
  # A converter that hears the requests and never answers.
  sim_start "$NS_CONV" "$simlog" --converter "$A,ip=192.168.0.50,repeat=0"
  prepare
  start_app
  window Error "$NOT_FOUND_TEXT"
  press 1
  wait_exit
  wait_for_line "$hhlog" "$(help_line T110NOT_FOUND.html)"
  expect_shown "$PROGRESS" "$NOT_FOUND"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY"
  expect_empty "$browserlog"
}

case_two_converters_offer_the_several_converters_help() {
  topo_same_subnet
  sim_start "$NS_CONV" "$simlog" --converter "$A,ip=192.168.0.50" --converter "$B,ip=192.168.0.51"
  prepare
  start_app
  window Error "$SEVERAL_TEXT"
  press 1
  wait_exit
  wait_for_line "$hhlog" "$(help_line T120MULTIPUL.html)"
  expect_shown "$PROGRESS" "$(notice "$SEVERAL_TEXT")"
  expect_empty "$browserlog"
}

case_only_unsupported_models_count_as_not_found() {
  topo_same_subnet
  sim_start "$NS_CONV" "$simlog" --converter "name=ztl-br720,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50" \
    --converter "name=OTHER-AP,mac=00:1a:2b:3c:4d:5f,ip=192.168.0.51"
  prepare
  start_app
  window Error "$NOT_FOUND_TEXT"
  press 2
  wait_exit
  expect_shown "$PROGRESS" "$NOT_FOUND"
  expect_empty "$browserlog"
  expect_empty "$hhlog"
}

case_host_unreachable_shows_the_scan_failure_message() {
  topo_unreachable
  sim_start "$NS_CONV" "$simlog" --converter "$A,ip=192.168.0.50"
  prepare
  start_app
  window Error "$UNREACHABLE_TEXT"
  press 6
  wait_exit
  wait_for_line "$hhlog" "$(help_line T110NOT_FOUND.html)"
  expect_shown "$PROGRESS" "title=\"Error\" texts=\"&Yes|&No|$UNREACHABLE_TEXT\""
  expect_received
  expect_empty "$browserlog"
}

# The user's locale chooses the Japanese tables: every window in Japanese.
case_japanese_user_sees_japanese_windows() {
  SETUP_TITLE='IP アドレスの変更' SETUP_BUTTON='はい'
  other_subnet status=silent LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LOCPATH="${LOCPATH:-}"
  press 1013
  window 'エラー' 'IP アドレスが変更できませんでした。\nヘルプを表示しますか？'
  press 2
  wait_exit
  expect_shown 'title="" texts="検索中..."' \
    'title="IP アドレスの変更" texts="はい|いいえ|コンバータを設定するにはコンバータの IP アドレスを一時的に変更する必要があります。\nコンバータの IP アドレスを変更しますか？|コンバータに設定する IP アドレス|コンピュータの IP アドレス            : 192.168.0.2"' \
    'title="エラー" texts="はい|いいえ|IP アドレスが変更できませんでした。\nヘルプを表示しますか？"'
  expect_empty "$browserlog"
}

# A second start while the first waits for the user: it finds the running
# copy, shows nothing, sends nothing and ends; the first goes on.
case_second_start_leaves_the_running_copy_alone() {
  other_subnet status=1
  local first=$app_pid
  start_app
  wait_exit
  app_pid=$first
  drive foreground
  [[ $out == *'title="IP Address Setup"'* ]] || fail "the running copy's dialog is not in front: $out"
  press 1013
  window Error "$ASSIGN_FAILED_TEXT"
  press 2
  wait_exit
  expect_shown "$PROGRESS" "$IP_SETUP" "$(notice "$ASSIGN_FAILED_TEXT")"
  expect_received "$DISCOVERY" "$DISCOVERY" "$DISCOVERY"
}

fn=case_$case_name
declare -F "$fn" >/dev/null || { echo "no such case: $case_name" >&2; exit 2; }
"$fn"
report
[ "$failures" = 0 ] || exit 1
echo "PASS: $case_name"
