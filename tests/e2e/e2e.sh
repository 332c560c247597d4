#!/usr/bin/env bash
# End to end: the real ConverterSetup.exe under wine in the PC's network
# namespace against converter-sim in a converter's namespace, driven from
# outside as a user would (cs-drive). Per row of the table below it checks
# what the user saw (every dialog shown, in order, by title and texts:
# cs-winlog), what the shell was asked to open (the browser address through
# the xdg-open stand-in, the help viewer's parameter through the hh.exe
# stand-in), the bytes the converter received (the simulator's log) and the
# exit status of every start (0).
#
#   e2e.sh GROUP      runs the rows of one group
#
# A group's rows share one topology and one wineserver started inside its PC
# namespace, and run one after another; each row has a simulator of its own.
#
# Environment (set by tests/e2e/CMakeLists.txt): CS_EXE CS_DRIVE CS_WINLOG
# CS_HHLOGGER (the programs), CS_BROWSER_DIR (holding only the xdg-open
# stand-in), CONVERTER_SIM, CS_WINERUN, CS_WINE_PREFIX (the group's prefix),
# CS_E2E_WORK (the group's logs); LOCPATH (where ja_JP.UTF-8 was generated).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tools/ns/topology.sh
. "$here/../../tools/ns/topology.sh"

group=${1:?usage: e2e.sh GROUP}
A=name=ZTL-BR720-A,mac=00:1a:2b:3c:4d:5e
B=name=ZTL-BR710-B,mac=00:1a:2b:3c:4d:5f

# What the user does, step by step: a window's code (below) waits for it; a
# number presses that button of the window waited for last; enter, esc: the
# key; help: the caption's "?"; addr=A.B.C.D: typed into the address field
# (a blank field stays blank); gone: the window goes and the one before is
# the user's again; again: the program is started a second time while the
# user was in another program; close: Close on the (sizeless) result window;
# move: the top window dragged aside; click:N a real pointer click on button N
# of the window below the top one; on: the converter is switched on.
# Converters: the simulator's, its page (http-after:S|never: S s after an assignment); off (switched
# off); pcaddr:S (the PC's address S s after the start); office:C.
# Datagrams: the discovery requests received, then the address of the three
# assign requests for converter A; * when the count depends on the moment.
rows() {
  cat <<EOF
# group   | row                                                | lang | converters                       | the user's steps | dialogs shown | browser | help topic | datagrams
subnet    | one_converter_in_the_subnet_opens_its_page         | en | $A,ip=192.168.0.50                 | -                | P L           | http://192.168.0.50/ | -                  | 3
subnet    | a_ztl_br710_alone_opens_its_page                   | en | $B,ip=192.168.0.51                 | -                | P L           | http://192.168.0.51/ | -                  | 3
subnet    | no_answer_offers_the_not_found_help_enter_is_yes   | en | $A,ip=192.168.0.50,repeat=0        | N5 enter         | P N5a         | -                    | T110NOT_FOUND.html | 3
subnet    | two_converters_offer_the_several_converters_help   | en | $A,ip=192.168.0.50 $B,ip=192.168.0.51 | N6 1          | P N6a         | -                    | T120MULTIPUL.html  | 3
subnet    | only_unsupported_models_count_as_none_esc_is_no    | en | name=ztl-br720,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50 name=OTHER-AP,mac=00:1a:2b:3c:4d:5f,ip=192.168.0.51 | N5 esc | P N5u | - | - | 3
subnet    | an_address_six_seconds_late_then_the_page_no_notice  | en | $A,ip=192.168.0.50 pcaddr:6        | -                | P W P L       | http://192.168.0.50/ | -                  | *
subnet    | scan_again_after_the_converter_is_switched_on_opens_its_page | en | $A,ip=192.168.0.50 off | N5 on 1031   | P N5a P L     | http://192.168.0.50/ | -                  | 6
subnet    | close_during_the_scan_ends_the_program_with_status_0 | en | $A,ip=192.168.0.50,repeat=0 chatter:500 | P close          | P             | -                    | -                  | *
other     | address_accepted_the_page_answers_8_s_later_the_browser_waits_for_it | en | $A,ip=10.0.0.5 http-after:8 | S 4     | P S A L       | http://192.168.0.3/  | -                  | 3 192.168.0.3
other     | the_page_never_answers_notice_3_names_the_address  | en | $A,ip=10.0.0.5 http-after:never    | S 4 N3 2         | P S A L N3p   | -                    | -                  | 3 192.168.0.3
other     | address_refused_offers_the_address_change_help     | en | $A,ip=10.0.0.5,status=256          | S 4 N1 1         | P S A N1r     | -                    | T150CNT_CHANGE.html | 3 192.168.0.3
other     | assignment_unanswered_ends_after_no                | en | $A,ip=10.0.0.5,status=silent       | S 4 N1 2         | P S A N1s     | -                    | -                  | 3 192.168.0.3
other     | dialog_cancelled_sends_no_assignment               | en | $A,ip=10.0.0.5                     | S 1013 N1 1      | P S N1        | -                    | T150CNT_CHANGE.html | 3
other     | incomplete_address_refused_with_help_then_corrected | en | $A,ip=10.0.0.5                    | S addr=192.168..7 4 N7 move click:4 1 gone addr=192.168.0.7 4 | P S N7 A L | http://192.168.0.7/ | T040IP.html | 3 192.168.0.7
other     | caption_help_and_esc_keep_the_dialog_enter_runs_it | en | $A,ip=10.0.0.5                     | S help esc enter | P S A L       | http://192.168.0.3/  | T040IP.html        | 3 192.168.0.3
other     | japanese_user_sees_japanese_windows                | ja | $A,ip=10.0.0.5,status=silent       | S 1013 N1 2      | P S N1        | -                    | -                  | 3
other     | second_start_brings_the_running_copy_forward       | en | $A,ip=10.0.0.5                     | S again 1013 N1 2 | P S N1       | -                    | -                  | 3
unreachable | host_unreachable_shows_the_scan_failure_message  | en | $A,ip=192.168.0.50                 | U 6              | P W U         | -                    | T110NOT_FOUND.html | 0
links     | another_device_holds_.3_the_laptops_wired_converter_gets_.4 | en | $A,ip=10.0.0.5 | S 4           | P S A L       | http://192.168.0.4/  | -                  | 3 192.168.0.4
links     | nothing_answers_on_either_link_and_the_dock_has_no_address | en | $A,ip=10.0.0.5,repeat=0 | N5 2  | P W N5l    | -                    | -                  | 3
links     | japanese_user_reads_why_nothing_was_found        | ja | $A,ip=10.0.0.5,repeat=0            | N5 2             | P W N5l       | -                    | -                  | 3
links     | a_converter_on_each_link_are_both_named          | en | $A,ip=10.0.0.5 office:$B,ip=172.20.0.9,delay=300 | N6 2  | P N6l | -              | -                  | 3
EOF
}

# The windows by code, as cs-winlog writes them, in each language.
declare -A SHOWN=(
  [en:P]='title="" texts="Scanning..."'
  [en:W]='title="" texts="Waiting for the network adapter to get an address..."'
  [en:S]="title=\"IP Address Setup\" texts=\"Execute Setup|Cancel|To set up the converter, it is required to change the Converter's IP address temporary.  Would you like to proceed?|Converter IP Address : |Computer IP Address :   192.168.0.2\""
  [en:A]='title="" texts="Setting IP Address..."'
  [en:L]='title="" texts="Launching Converter Setup Page..."'
  [en:N1]='title="Error" texts="Yes|No|Failed to change the IP address. Do you want to see Online Help?"'
  [en:N5]='title="Error" texts="Yes|No|Scan Again|\n     Converter not detected. \n     Do you want see Online Help?"'
  [en:N6]='title="Error" texts="Yes|No|There are more than two converters found in the same network segment.\nDo you want to see Online Help?"'
  [en:N7]='title="Error" texts="Yes|No|Please insert an IP address."'
  [en:N3]='title="Error" texts="Yes|No|Failed to open Converter setup page.\nDo you want see Online Help?"'
  [en:N3p]='title="Error" texts="Yes|No|Failed to open Converter setup page.\nDo you want see Online Help?|• The device at 192.168.0.3 refused the connection to its setup page through the adapter \"v0a\" (192.168.0.2/24) for 15 seconds: the converter'"'"'s web server may still be starting. Wait a minute, then run the program again."'
  # The notices that say why, with what their box shows.
  [en:N5a]='title="Error" texts="Yes|No|Scan Again|\n     Converter not detected. \n     Do you want see Online Help?|• Nothing answered through the adapter \"v0a\" (192.168.0.2/24). Check that the converter is wired to the PC and switched on."'
  [en:N6a]='title="Error" texts="Yes|No|There are more than two converters found in the same network segment.\nDo you want to see Online Help?|• Found \"ZTL-BR720-A\" at 192.168.0.50 through the adapter \"v0a\" (192.168.0.2/24). Disconnect it if it is not the converter you want to set up.\r\n• Found \"ZTL-BR710-B\" at 192.168.0.51 through the adapter \"v0a\" (192.168.0.2/24). Disconnect it if it is not the converter you want to set up."'
  [en:N5u]='title="Error" texts="Yes|No|Scan Again|\n     Converter not detected. \n     Do you want see Online Help?|• A device of a model this program does not set up answered through the adapter \"v0a\" (192.168.0.2/24): \"ztl-br720\" at 192.168.0.50. Connect the converter you want to set up, then scan again.\r\n• A device of a model this program does not set up answered through the adapter \"v0a\" (192.168.0.2/24): \"OTHER-AP\" at 192.168.0.51. Connect the converter you want to set up, then scan again."'
  [en:N1r]='title="Error" texts="Yes|No|Failed to change the IP address. Do you want to see Online Help?|• The converter refused the address 192.168.0.3. Choose an address that no other device uses, then run the program again."'
  [en:N1s]='title="Error" texts="Yes|No|Failed to change the IP address. Do you want to see Online Help?|• The converter did not answer the request for the address 192.168.0.3. Check that it is still switched on and wired to the PC, then run the program again."'
  [en:N5l]='title="Error" texts="Yes|No|Scan Again|\n     Converter not detected. \n     Do you want see Online Help?|• The adapter \"v2a\" is connected but has no IPv4 address yet; the program waited 15 seconds for one. When no DHCP server answers, Windows gives itself an address about 10 seconds after the cable goes in. If it still has none, set the adapter'\''s IPv4 settings to \"Obtain an IP address automatically\", or give it a fixed address, then scan again.\r\n• Nothing answered through the adapter \"v0a\" (192.168.0.2/24). Check that the converter is wired to the PC and switched on.\r\n• Nothing answered through the adapter \"v1a\" (172.20.0.2/24). Check that the converter is wired to the PC and switched on."'
  [en:N6l]='title="Error" texts="Yes|No|There are more than two converters found in the same network segment.\nDo you want to see Online Help?|• Found \"ZTL-BR720-A\" at 10.0.0.5 through the adapter \"v0a\" (192.168.0.2/24). Disconnect it if it is not the converter you want to set up.\r\n• Found \"ZTL-BR710-B\" at 172.20.0.9 through the adapter \"v1a\" (172.20.0.2/24). Disconnect it if it is not the converter you want to set up."'
  [ja:N5l]='title="エラー" texts="はい|いいえ|再検索|コンバータが見つかりませんでした。\nヘルプを表示しますか？|• アダプター「v2a」は接続されていますが、IPv4 アドレスがまだありません。このプログラムは 15 秒待ちました。DHCP サーバーが応答しない場合は、ケーブルを接続してから 10 秒ほどで Windows が自動的にアドレスを割り当てます。それでもアドレスがない場合は、アダプターの IPv4 の設定を「IP アドレスを自動的に取得する」にするか、固定の IP アドレスを設定してから、もう一度検索してください。\r\n• アダプター「v0a」(192.168.0.2/24) で検索しましたが、応答はありませんでした。コンバータがコンピュータに LAN ケーブルでつながり、電源が入っていることを確認してください。\r\n• アダプター「v1a」(172.20.0.2/24) で検索しましたが、応答はありませんでした。コンバータがコンピュータに LAN ケーブルでつながり、電源が入っていることを確認してください。"'
  [en:U]='title="Error" texts="&Yes|&No|Failed to scan the Wireless Converter.\nMake sure the network cable is plugged in to the Ethernet port and the Wireless Converter is turned on.\n\nDo you want to see Online Help?"'
  [ja:P]='title="" texts="検索中..."'
  [ja:W]='title="" texts="ネットワーク アダプターに IP アドレスが割り当てられるのを待っています..."'
  [ja:N5]='title="エラー" texts="はい|いいえ|再検索|コンバータが見つかりませんでした。\nヘルプを表示しますか？"'
  [ja:S]='title="IP アドレスの変更" texts="はい|いいえ|コンバータを設定するにはコンバータの IP アドレスを一時的に変更する必要があります。\nコンバータの IP アドレスを変更しますか？|コンバータに設定する IP アドレス|コンピュータの IP アドレス            : 192.168.0.2"'
  [ja:N1]='title="エラー" texts="はい|いいえ|IP アドレスが変更できませんでした。\nヘルプを表示しますか？"'
)

work=${CS_E2E_WORK:?}
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$CS_WINE_PREFIX
failures=0
fail() {
  echo "FAIL $row_name: $*" >&2
  failures=$((failures + 1))
}

# Everything wine runs lives in the PC's namespace, with the group's server.
in_pc() {
  local seconds=$1
  shift
  ns_run "$NS_PC" "$seconds" env CS_WINE_TIMEOUT=$((seconds - 5)) "$@"
}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
# Non-ASCII as \uXXXX: wine may read the command line in another code page.
ascii() { python3 -c 'import sys; print("".join(c if ord(c) < 128 else "\\u%04x" % ord(c) for c in sys.argv[1]))' "$1"; }
drive() { out=$(in_pc 60 "$CS_WINERUN" "$CS_DRIVE" "$@" 2>>"$row/drive.err" | tr -d '\r'); [ -n "$out" ]; }

# The group's wineserver, started (again) inside the PC's namespace; its
# help viewer is the logger in the Windows folder only, where the program
# names it (system32's stays wine's own, which logs nothing; a fake exe of
# wine's loads wine's own build unless the prefix says otherwise).
wine_start() {
  "$CS_WINERUN" --kill >/dev/null 2>&1
  in_pc 600 "$CS_WINERUN" --server >>"$work/wine.err" 2>&1 || return 1
  [ -f "$WINEPREFIX/.cs-e2e-hh" ] && return 0
  cp "$CS_HHLOGGER" "$WINEPREFIX/drive_c/windows/hh.exe" &&
    in_pc 60 "$CS_WINERUN" reg add 'HKCU\Software\Wine\DllOverrides' /v hh.exe /d native /f \
      >>"$work/wine.err" 2>&1 && touch "$WINEPREFIX/.cs-e2e-hh"
}

# start_app LANG: the program, in the background, for a user of that language.
start_app() {
  local locale=()
  [ "$1" = ja ] && locale=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 LOCPATH="${LOCPATH:-}")
  in_pc 120 env PATH="$CS_BROWSER_DIR:$PATH" CS_BROWSER_LOG="$row/browser.log" CS_BROWSER_FETCH="$row/page" \
    CS_HHLOG="$row/hh.log" ${locale[@]+"${locale[@]}"} \
    "$CS_WINERUN" "$CS_EXE" >>"$row/app.out" 2>&1 </dev/null &
  app_pid=$!
}

exited() {
  wait "$1"
  local rc=$?
  [ "$rc" = 0 ] || fail "a start of ConverterSetup.exe ended with status $rc"
}

# step STEP: one thing the user does; false when it could not be done.
step() {
  local top= first
  [ ${#windows[@]} = 0 ] || top=${windows[-1]}
  case $1 in
    [A-Z]*)
      local line=${SHOWN[$lang:$1]} title text
      title=${line#title=\"}
      title=${title%%\" texts=*}
      text=${line#*texts=\"}
      text=${text%\"}
      drive wait "$(ascii "$title")" "$(ascii "${text##*|}")" && windows+=("$out") ;;
    [0-9]*) drive press "$top" "$1" ;;
    enter) drive key "$top" RETURN ;;
    esc) drive key "$top" ESCAPE ;;
    help) drive help "$top" ;;
    close) drive wait "Converter Scanning Result" Close && drive press "$out" 1013 ;;
    move) drive move "$top" 10 10 ;;
    on) sim_switch_on ;;
    click:*) drive where "${windows[-2]}" "${1#click:}" && xdotool mousemove ${out% *} ${out#* } click 1 ;;
    addr=*) drive address "$top" 1016 "${1#addr=}" ;;
    gone) drive gone "$top" && windows=("${windows[@]:0:${#windows[@]}-1}") ;;
    again)
      first=$app_pid
      drive foreground desktop
      start_app "$lang"
      exited "$app_pid"
      app_pid=$first
      drive foreground && [[ $out == "foreground $top "* ]] ||
        fail "the running copy's window $top is not in front: $out" ;;
    *) false ;;
  esac
}

# The programs the shell started (the help viewer, the browser) run on after
# the program ended: the row is over once none is left.
settle() {
  local _
  for _ in $(seq 300); do
    ip netns pids "$NS_PC" | sed 's#.*#/proc/&/cmdline#' | xargs -r cat 2>/dev/null |
      tr '\0' ' ' | grep -qE 'hh\.exe|winebrowser|xdg-open' || return 0
    sleep 0.1
  done
  fail "the programs the shell started did not end"
}

# expect WHAT GOT WANT
expect() { [ "$2" = "$3" ] || fail "$1:"$'\n'"$2"$'\n'"expected:"$'\n'"$3"; }

# The datagrams a converter of the row should receive, as "SENDER len=N HEX":
# all from the PC's address on the converter's link.
datagrams() {
  local zeros i
  zeros=$(printf '%0230d' 0)
  for ((i = 0; i < $1; i++)); do printf '192.168.0.2 len=116 01%s\n' "${zeros:0:230}"; done
  [ -n "${2:-}" ] || return 0
  local hex
  hex=$(printf '%02x' ${2//./ })
  # The access word "ladder" at 4, converter A's MAC at 36, the address at 44.
  for ((i = 0; i < 3; i++)); do
    printf '192.168.0.2 len=116 0102%s6c6164646572%s001a2b3c4d5e%s%s%s\n' "${zeros:0:4}" "${zeros:0:52}" \
      "${zeros:0:4}" "$hex" "${zeros:0:136}"
  done
}

run_row() {
  row_name=$1 lang=$2
  local converters=$3 steps=$4 dialogs=$5 url=$6 topic=$7 wire=$8 c code
  row=$work/$row_name
  mkdir -p "$row"
  : >"$row/browser.log"
  : >"$row/hh.log"
  local sim=(--http 80 --on-assign "ip addr flush dev $NS_CONV_IF && ip addr add \$1/24 dev $NS_CONV_IF")
  local office=() office_pid= late= late_pid=
  # chatter:MS keeps every cycle of the scan open for its ten seconds;
  # office:CONVERTER answers on the laptop's office link.
  for c in $converters; do
    case $c in
      chatter:*) sim+=(--chatter "${c#chatter:}") ;;
      http-after:*) sim+=(--http-after "${c#http-after:}") ;;
      off) sim+=(--off) ;;
      pcaddr:*) late=${c#pcaddr:} ;;
      office:*) office+=(--converter "${c#office:}") ;;
      *) sim+=(--converter "$c")  # its namespace holds its address, where its page answers
        [[ $c != *ip=* ]] || ip -n "$NS_CONV" addr add "$(sed 's/.*ip=\([0-9.]*\).*/\1/' <<<"$c")/24" dev "$NS_CONV_IF" 2>/dev/null ;;
    esac
  done
  if [ ${#office[@]} -gt 0 ]; then
    sim_start "$NS_OFFICE" "$row/office.log" "${office[@]}"
    office_pid=$SIM_PID
  fi
  sim_start "$NS_CONV" "$row/sim.log" "${sim[@]}"
  in_pc 300 "$CS_WINERUN" "$CS_WINLOG" "$(winpath "$row/windows.log")" "$(winpath "$row/stop")" \
    >>"$row/app.out" 2>&1 </dev/null &
  local winlog_pid=$! before=$failures
  for _ in $(seq 300); do grep -qx ready "$row/windows.log" 2>/dev/null && break; sleep 0.1; done
  windows=()
  # The cable just in: the address (and the routes the kernel dropped with it) comes later.
  if [ -n "$late" ]; then
    ip -n "$NS_PC" addr del 192.168.0.2/24 dev "$NS_PC_IF"
    (sleep "$late"; ip -n "$NS_PC" addr add 192.168.0.2/24 dev "$NS_PC_IF" &&
      ip -n "$NS_PC" route replace default dev "$NS_PC_IF") & late_pid=$!
  fi
  start_app "$lang"
  for c in ${steps#-}; do
    step "$c" || { fail "could not do [$c]: $(tail -1 "$row/drive.err" 2>/dev/null)"; break; }
  done
  # A row that went wrong may leave the program waiting: its server goes.
  [ "$failures" = "$before" ] || wine_start
  exited "$app_pid"
  [ -z "$late_pid" ] || wait "$late_pid"
  settle
  touch "$row/stop"
  wait "$winlog_pid"
  sim_stop
  [ -z "$office_pid" ] || { kill -TERM "$office_pid" 2>/dev/null; wait "$office_pid"; }
  local keep=()
  for c in "${NS_PIDS[@]}"; do [ "$c" = "$SIM_PID" ] || [ "$c" = "$office_pid" ] || keep+=("$c"); done
  NS_PIDS=(${keep[@]+"${keep[@]}"})
  ns_converter_at $conv_addresses

  local want=()
  for code in $dialogs; do want+=("${SHOWN[$lang:$code]}"); done
  expect "dialogs shown" "$(grep -E '^[0-9.]+ show ' "$row/windows.log" | cut -d' ' -f3-)" \
    "$(printf '%s\n' "${want[@]}")"
  expect "browser" "$(cat "$row/browser.log")" "${url#-}"
  [ "$topic" = - ] || topic="$(winpath "$(dirname "$CS_EXE")/Help.chm")::/HTML/$topic"
  expect "help viewer" "$(cat "$row/hh.log")" "${topic#-}"
  expect "the page's connections" "$(sed -n 's/^http //p' "$row/sim.log")$([ -s "$row/page" ] && echo ' fetched')" \
    "$([ "$url" = - ] || printf '(closed without a request)\nGET / HTTP/1.1 fetched')"
  [ "$wire" = '*' ] || expect "datagrams" "$(sed -nE 's/^rx ([0-9.]+):[0-9]+ /\1 /p' "$row/sim.log")" "$(datagrams $wire)"
  [ "$failures" = "$before" ] && echo "PASS $row_name"
}

ns_init
# The server first, so that it saves the prefix's registry.
trap '"$CS_WINERUN" --kill >/dev/null 2>&1; ns_cleanup' EXIT
[ -n "${DISPLAY:-}" ] || { echo "e2e: DISPLAY is not set" >&2; exit 1; }
case $group in
  subnet) topo_same_subnet ;;
  other) topo_other_subnet ;;
  unreachable) topo_unreachable ;;
  # The office link holds the default route; the converter sits behind the
  # wired one, in another subnet.
  # A dock's adapter is up too, still without an address.
  links)
    topo_two_links wired-first 10.0.0.5/24
    ns_link "$NS_PC" "" "$NS_OFFICE" ""
    ns_device_on_cable 192.168.0.3/24 ;;
  *) echo "e2e: no group $group" >&2; exit 2 ;;
esac
conv_addresses=$(ip -n "$NS_CONV" -o -4 addr show dev "$NS_CONV_IF" | awk '{ print $4 }')
row_name=$group
wine_start || { fail "the wineserver did not start in the PC's namespace"; exit 1; }
mapfile -t table < <(rows)
for line in "${table[@]}"; do
  IFS='|' read -r -a cells <<<"$line"
  for c in "${!cells[@]}"; do read -r "cells[$c]" <<<"${cells[$c]}"; done
  [ "${cells[0]}" = "$group" ] && run_row "${cells[@]:1}" </dev/null
done
[ "$failures" = 0 ] || { echo "logs: $work" >&2; exit 1; }
