#!/usr/bin/env bash
# The topology library leaves nothing behind, however its user ends: no
# namespace, no /etc/netns folder, no simulator, and the user's own EXIT trap
# still runs. A leftover would collide with later runs or keep a converter
# answering. CONVERTER_SIM names the simulator.
set -u
lib=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools/ns" && pwd)/topology.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL ($1): $2"; failures=$((failures + 1)); }

# Each row: how the user ends | what it does after building a topology with a
# simulator | the exit status it ends with.
while IFS='|' read -r how body status; do
  p=cst-clean$$-${#how}$RANDOM  # a prefix the sending tools accept
  cat >"$work/$p.sh" <<EOS
NS_PREFIX=$p work=$work
. "$lib"
trap 'echo ran >"$work/$p.trap"' EXIT
ns_init
topo_two_interfaces
sim_start "\$NS_CONV" "$work/$p.log" --converter name=X,mac=00:00:00:00:00:01,ip=192.168.0.50
echo "\$SIM_PID" >"$work/$p.pid"
$body
EOS
  timeout 60 bash "$work/$p.sh" </dev/null 2>/dev/null
  rc=$?
  [ "$rc" = "$status" ] || fail "$how" "exit status $rc, not $status"
  # (ip netns list also names other runs' namespaces, which it cannot resolve from here)
  left=$(ip netns list 2>/dev/null | grep "^$p-" | tr '\n' ' ')
  [ -z "$left" ] || fail "$how" "namespaces left: $left"
  ! compgen -G "/etc/netns/$p-*" >/dev/null || fail "$how" "/etc/netns folders left"
  pid=$(cat "$work/$p.pid" 2>/dev/null)
  [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null || fail "$how" "no simulator started, or it (pid $pid) still runs"
  [ -f "$work/$p.trap" ] || fail "$how" "the user's own EXIT trap did not run"
done <<'ROWS'
normal end|true|0
failing end|exit 3|3
terminated|kill -TERM $$; sleep 60|143
library error|CONVERTER_SIM=/nonexistent sim_start "$NS_CONV" "$work/x.log"|1
ROWS
[ $failures = 0 ] && echo "PASS: the topology library cleans up on every exit path"
[ $failures = 0 ]
