#!/usr/bin/env bash
# Self-test of the end-to-end tools under wine: cs-drive operates and reads
# drive-target's window (at its normal size and at 0 x 0, as the program's
# main window has), the hh.exe stand-in records the help viewer's parameter,
# and the xdg-open stand-in records the web address the shell hands on.
#
#   drive-selftest.sh WINERUN CS-DRIVE DRIVE-TARGET HH-LOGGER BROWSER-DIR PREFIX
#
# PREFIX is a wine prefix of this test's own: its hh.exe is replaced.
set -u
winerun=$1 drive=$2 target=$3 hhlogger=$4 browserdir=$5
export WINEPREFIX=$6
export CS_WINE_TIMEOUT=60
[ -n "${DISPLAY:-}" ] || { echo "drive-selftest: DISPLAY is not set" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cs-drive-test.XXXXXX")
target_pids=()
cleanup() {
  local pid
  for pid in "${target_pids[@]}"; do kill "$pid" 2>/dev/null; done
  "$winerun" --kill >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Windows path of a file in $work (wine's Z: drive is the Unix root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

drive() { "$winerun" "$drive" "$@"; }

# drive_expect RC LINE... -- ARGS: run cs-drive, check its exit status and
# that each LINE is one of its output lines, exactly.
drive_expect() {
  local want_rc=$1; shift
  local lines=()
  while [ "$1" != "--" ]; do lines+=("$1"); shift; done
  shift
  local out rc
  out=$(drive "$@" 2>"$work/stderr"); rc=$?
  [ "$rc" = "$want_rc" ] || fail "cs-drive $* exited $rc, want $want_rc: $(cat "$work/stderr")"
  local l
  for l in "${lines[@]}"; do
    grep -qxF -- "$l" <<<"$out" || fail "cs-drive $*: no line [$l] in:"$'\n'"$out"
  done
  printf '%s\n' "$out" >"$work/last"
}

# wait_line FILE LINE: the line appears in the file (the target and the
# stand-ins write asynchronously to what posted the message). The bound is
# generous: a loaded machine must not turn a slow wine start into a failure.
wait_line() {
  local i
  for i in $(seq 300); do
    grep -qxF -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no line [$2] in $1:"$'\n'"$(cat "$1" 2>/dev/null)"
  return 1
}

start_target() {
  local title=$1 log=$2; shift 2
  : >"$log"
  "$winerun" "$target" "$title" "$(winpath "$log")" "$@" >"$work/target.out" 2>&1 &
  target_pids+=($!)
}

"$winerun" --server || { echo "drive-selftest: no wine prefix" >&2; exit 1; }
for dir in "$WINEPREFIX/drive_c/windows" "$WINEPREFIX/drive_c/windows/system32"; do
  [ -e "$dir/hh.exe" ] && cp "$hhlogger" "$dir/hh.exe"
done

# --- a window of normal size -------------------------------------------------
T="cs-drive target"
log=$work/target.log
export CS_HHLOG=$work/hh.log CS_BROWSER_LOG=$work/browser.log
PATH=$browserdir:$PATH start_target "$T" "$log"
drive_expect 0 -- wait --title "$T" --timeout-ms 30000
wait_line "$log" "ready 0"

# Controls in creation order, their texts (the label holds U+3000) and states.
out=$(drive list "$T")
for pattern in \
  '^window 0x[0-9a-f]+ class="CsDriveTarget" title="cs-drive target" rect=40,40,400,310 visible=1 enabled=1 pid=[0-9]+$' \
  '^control id=10 hwnd=0x[0-9a-f]+ class="Button" text="Press me" rect=10,10,100,34 visible=1 enabled=1$' \
  '^control id=11 hwnd=0x[0-9a-f]+ class="Button" text="Disabled" rect=110,10,200,34 visible=1 enabled=0$' \
  '^control id=50 hwnd=0x[0-9a-f]+ class="Static" text="コンバータ　リスト" rect=10,76,210,94 visible=1 enabled=1$' \
  '^control id=40 hwnd=0x[0-9a-f]+ class="SysListView32" text="" rect=10,100,340,220 visible=1 enabled=1$'; do
  grep -qE -- "$pattern" <<<"$out" || fail "list: no line matching $pattern in:"$'\n'"$out"
done
[ "$(grep -c '^control ' <<<"$out")" = 9 ] || fail "list: want 9 controls:"$'\n'"$out"

# A list view's columns and rows, texts quoted and escaped, read from the
# target's memory.
drive_expect 0 \
  'column 0 text="Converter Name" width=120 image=-1' \
  'rows 2 mark=-1' \
  'row 0 "ZTL-BR720 one" "192.168.0.50" "00:11:22:33:44:55" selected=0' \
  'row 1 "検索 \"two\"" "10.0.0.7" "00:11:22:33:44:66" selected=0' \
  -- rows "$T" 40

# Buttons: an enabled one is pressed, a disabled one refused and not sent.
drive_expect 0 -- press "$T" 10
wait_line "$log" "command 10 0"
# The target's answer to the press, waited for as a state.
drive_expect 0 -- wait-control "$T" 20 --text pressed --enabled 1 --shown 1
drive_expect 0 -- wait-control "$T" 40 --rows 2
drive_expect 1 -- wait-control "$T" 40 --rows 3 --timeout-ms 200
drive_expect 1 -- wait-control "$T" 11 --enabled 1 --timeout-ms 200
drive_expect 1 -- wait-control "$T" 98 --timeout-ms 200
drive_expect 1 -- press "$T" 11
drive_expect 1 -- press "$T" 99
drive_expect 0 -- press "$T" 11 --force
wait_line "$log" "command 11 0"

# Keys reach the dialog manager as typed: Enter is IDOK, Esc IDCANCEL.
drive_expect 0 -- key "$T" RETURN
wait_line "$log" "command 1 0"
drive_expect 0 -- key "$T" ESCAPE
wait_line "$log" "command 2 0"
drive_expect 2 -- key "$T" NOSUCHKEY

# A bare command and the caption's context-help button.
drive_expect 0 -- command "$T" 1013
wait_line "$log" "command 1013 0"
drive_expect 0 -- syscommand "$T" CONTEXTHELP
wait_line "$log" "syscommand 0xf180"

# Texts: an edit, and an IP address control with a blank field.
drive_expect 0 'text "abc　x"' -- settext "$T" 20 'abc\u3000x'
drive_expect 0 'address filled=3 value=192.168.0.3' -- settext "$T" 30 '192.168..3'
drive_expect 0 'address filled=4 value=10.0.0.254' -- settext "$T" 30 '10.0.0.254'
drive_expect 0 'address filled=4 value=10.0.0.254' -- address "$T" 30
drive_expect 2 -- settext "$T" 30 '10.0.0'
drive_expect 2 -- settext "$T" 30 '10.0.0.256'

# Mouse on the list: a click selects and marks the row, a double-click is
# reported as such, and a heading click reaches the parent.
drive_expect 0 -- click-row "$T" 40 1
wait_line "$log" "notify 40 click"
drive_expect 0 'rows 2 mark=1' \
  'row 1 "検索 \"two\"" "10.0.0.7" "00:11:22:33:44:66" selected=1' -- rows "$T" 40
drive_expect 0 -- click-row "$T" 40 0 --double
wait_line "$log" "notify 40 dblclk"
drive_expect 1 -- click-row "$T" 40 5
drive_expect 0 -- click-column "$T" 40 2
wait_line "$log" "columnclick 2"
drive_expect 0 'column 2 text="MAC Address" width=110 image=1' -- rows "$T" 40

# Window properties, the foreground window, and waiting on a title.
drive_expect 0 'prop 0x1234' -- prop "$T" CsDriveProbe
drive_expect 1 'prop absent' -- prop "$T" NoSuchProperty
drive_expect 0 'foreground '"$(drive wait --title "$T")"' class="CsDriveTarget" title="cs-drive target"' -- foreground
drive_expect 1 -- wait --title "no such window" --timeout-ms 200
drive_expect 0 -- wait --title "$T" --text 'コンバータ　リスト' --timeout-ms 2000
drive_expect 0 -- wait --title "$T" --text '\u30b3\u30f3\u30d0\u30fc\u30bf\u3000\u30ea\u30b9\u30c8' --timeout-ms 2000
drive_expect 1 -- wait --title "$T" --text 'コンバータ リスト' --timeout-ms 200
drive_expect 2 -- frobnicate

# The shell's help viewer call, as the program makes it: the parameter with
# its blank, unquoted, reaches the hh.exe stand-in.
drive_expect 0 -- press "$T" 12
wait_line "$work/hh.log" 'C:\Tools dir\Help.chm::/HTML/T040IP.html'
# The shell's "open" of a web address reaches the xdg-open stand-in.
drive_expect 0 -- press "$T" 13
for _ in $(seq 300); do grep -q '^shell ' "$log" && break; sleep 0.1; done
rc=$(sed -n 's/^shell //p' "$log")
[ -n "$rc" ] && [ "$rc" -gt 32 ] || fail "the shell did not open the address: [$rc]"
wait_line "$work/browser.log" "http://192.0.2.10/"

# A message box on another thread of the target: found by title and class,
# its text read (id -1, line feed escaped), its Yes button pressed.
drive_expect 0 -- press "$T" 14
drive_expect 0 -- wait --title Error --class '#32770' --timeout-ms 30000
out=$(drive list Error)
grep -qE '^control id=-1 hwnd=0x[0-9a-f]+ class="Static" text="First line\.\\n検索しますか？" ' <<<"$out" \
  || fail "message box text:"$'\n'"$out"
grep -qE '^control id=6 hwnd=0x[0-9a-f]+ class="Button" text="&Yes" ' <<<"$out" \
  || fail "message box Yes button:"$'\n'"$out"
drive_expect 0 -- press Error 6
wait_line "$log" "msgbox 6"
drive_expect 0 gone -- wait-gone Error --timeout-ms 30000

# The caption's close button ends the target; wait-gone sees it go.
hwnd=$(drive wait --title "$T")
drive_expect 0 -- syscommand "$T" CLOSE
drive_expect 0 gone -- wait-gone "$hwnd" --timeout-ms 30000
wait_line "$log" "exit 0"
drive_expect 1 -- list "$T"

# --- a window of size 0 x 0 ----------------------------------------------------
Z="cs-drive zero"
zlog=$work/zero.log
start_target "$Z" "$zlog" --zero
drive_expect 0 -- wait --title "$Z" --timeout-ms 30000
wait_line "$zlog" "ready 1"
out=$(drive list "$Z")
grep -qE '^window 0x[0-9a-f]+ class="CsDriveTarget" title="cs-drive zero" rect=40,40,40,40 visible=1' <<<"$out" \
  || fail "zero: window not 0 x 0:"$'\n'"$out"
drive_expect 0 -- press "$Z" 10
wait_line "$zlog" "command 10 0"
drive_expect 0 -- key "$Z" RETURN
wait_line "$zlog" "command 1 0"
drive_expect 0 -- click-row "$Z" 40 0
wait_line "$zlog" "notify 40 click"
drive_expect 0 'rows 2 mark=0' -- rows "$Z" 40
drive_expect 0 -- syscommand "$Z" CLOSE
drive_expect 0 gone -- wait-gone "$Z" --timeout-ms 30000

# The stand-ins on their own: the xdg-open stand-in refuses to fetch from the
# machine's own network namespace (when that is where this runs).
if [ "$(readlink /proc/self/ns/net)" = "$(readlink /proc/1/ns/net)" ]; then
  CS_BROWSER_LOG=$work/own.log CS_BROWSER_FETCH=$work/page \
    "$browserdir/xdg-open" http://192.0.2.10/ 2>/dev/null
  [ -e "$work/page" ] && fail "xdg-open stand-in fetched from the machine's own namespace"
fi
CS_BROWSER_LOG= "$browserdir/xdg-open" http://x/ 2>/dev/null && fail "xdg-open stand-in ran without a log"

wait
if [ "$failures" -ne 0 ]; then
  echo "drive-selftest: $failures failure(s)"
  exit 1
fi
echo "drive-selftest: ok"
