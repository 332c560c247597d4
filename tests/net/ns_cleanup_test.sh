#!/usr/bin/env bash
# The topology library leaves nothing behind, however its user ends: no
# namespace, no /etc/netns folder, no simulator process. A leftover would
# collide with later runs or keep a converter answering.
#
#   ns_cleanup_test.sh   (CONVERTER_SIM names the simulator)
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lib=$here/../../tools/ns/topology.sh
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# user PREFIX BODY: a script that sources the library under PREFIX, builds
# the two-interface topology with a simulator and then runs BODY.
user() {
  cat >"$work/$1.sh" <<EOS
NS_PREFIX=$1
. "$lib"
trap 'echo caller-trap-ran >"$work/$1.trap"' EXIT
ns_init
topo_two_interfaces
sim_start "\$NS_CONV" "$work/$1.log" --converter name=X,mac=00:00:00:00:00:01,ip=192.168.0.50
echo "\$SIM_PID" >"$work/$1.pid"
$2
EOS
}

check() {
  local prefix=$1 what=$2 pid
  if ip netns list | grep -q "^$prefix-"; then
    echo "FAIL ($what): namespaces left: $(ip netns list | grep "^$prefix-" | tr '\n' ' ')"
    failures=$((failures + 1))
  fi
  if compgen -G "/etc/netns/$prefix-*" >/dev/null; then
    echo "FAIL ($what): /etc/netns folders left"
    failures=$((failures + 1))
  fi
  pid=$(cat "$work/$prefix.pid" 2>/dev/null)
  if [ -z "$pid" ]; then
    echo "FAIL ($what): the topology was not built"
    failures=$((failures + 1))
  elif kill -0 "$pid" 2>/dev/null; then
    echo "FAIL ($what): the simulator (pid $pid) still runs"
    failures=$((failures + 1))
  fi
  [ -f "$work/$prefix.trap" ] || { echo "FAIL ($what): the caller's own EXIT trap did not run"; failures=$((failures + 1)); }
}

p=csclean$$
user "${p}a" "true"
timeout 60 bash "$work/${p}a.sh"
check "${p}a" "normal end"

user "${p}b" "exit 3"
timeout 60 bash "$work/${p}b.sh"
rc=$?
[ $rc = 3 ] || { echo "FAIL (failing end): exit status $rc, not 3"; failures=$((failures + 1)); }
check "${p}b" "failing end"

user "${p}c" "sleep 60 & wait"
timeout 60 bash "$work/${p}c.sh" &
runner=$!
for _ in $(seq 200); do [ -s "$work/${p}c.pid" ] && break; sleep 0.05; done
sleep 0.2
# timeout passes the TERM on to the script
kill -TERM "$runner"
wait "$runner"
check "${p}c" "terminated"

user "${p}d" "CONVERTER_SIM=/nonexistent sim_start \"\$NS_CONV\" $work/x.log"
timeout 60 bash "$work/${p}d.sh" 2>/dev/null
rc=$?
[ $rc != 0 ] || { echo "FAIL (library error): exit status 0"; failures=$((failures + 1)); }
check "${p}d" "library error"

[ $failures = 0 ] && echo "PASS: the topology library cleans up on every exit path"
[ $failures = 0 ]
