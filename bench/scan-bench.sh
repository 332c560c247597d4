#!/usr/bin/env bash
# Scan benchmark: 0, 1 and 64 simulated converters on a PC with one link,
# and one converter on a PC with four up links (the scan sends and listens
# on every one), on the POSIX port natively and on the Winsock port under
# wine, each in a fresh namespace topology (the converters' link
# 192.168.0.2/24, converters in the same subnet; the other links
# 10.77.N.2/24 with nothing behind them).
#
# Prints, per port, link count and converter count, the worker's time
# (ScanStart until the running flag clears) and the time a flow sees (polling
# every 100 ms), both also as a ratio to the 3.0 s that three silent seconds
# take at least, and the replies lost. Figures only: nothing here passes or fails.
#
# Environment: CS_BUILD (the build directory holding the host and windows
# trees; default: build/ beside this script's checkout), CS_BENCH_RUNS
# (scans per case, default 3), CS_BENCH_CASES (LINKS:CONVERTERS, default
# "1:0 1:1 1:64 4:1"), CS_BENCH_PORTS ("posix wine"), CS_BENCH_HOST_TREE /
# CS_BENCH_WINDOWS_TREE (tree directories, default $CS_BUILD/host and
# $CS_BUILD/windows).
# Wine needs DISPLAY; without it (or without the windows tree) the wine
# half is left out with a note.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
# shellcheck source=../tools/ns/topology.sh
. "$root/tools/ns/topology.sh"

build=${CS_BUILD:-$root/build}
host_tree=${CS_BENCH_HOST_TREE:-$build/host}
windows_tree=${CS_BENCH_WINDOWS_TREE:-$build/windows}
runs=${CS_BENCH_RUNS:-3}
cases=${CS_BENCH_CASES:-1:0 1:1 1:64 4:1}
ports=${CS_BENCH_PORTS:-posix wine}
bench=$host_tree/bench/scan-bench
CONVERTER_SIM=$host_tree/tools/converter-sim/converter-sim
bench_exe=$windows_tree/bench/scan-bench.exe
winerun=$root/tools/wine/winerun
wine_prefix=$windows_tree/wine/bench
work=$(mktemp -d)

for f in "$bench" "$CONVERTER_SIM"; do
  [ -x "$f" ] || { echo "scan-bench: $f is missing; build the host tree first" >&2; exit 1; }
done

wine_stop() {
  [ -x "$bench_exe" ] && WINEPREFIX=$wine_prefix "$winerun" --kill >/dev/null 2>&1
  return 0
}
ns_init
trap 'wine_stop; ns_cleanup; rm -rf "$work"' EXIT

converters() {
  local n=$1 i
  for ((i = 0; i < n; i++)); do
    printf -- '--converter\nname=bench-%02d,mac=02:be:00:00:00:%02x,ip=192.168.0.%d\n' \
      "$i" "$i" $((100 + i))
  done
}

# summary PORT LINKS N FILE: one line of figures from scan-bench's per-run lines.
summary() {
  awk -v port="$1" -v links="$2" -v n="$3" '
    /^run / {
      for (i = 3; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
      runs++; w += v["worker_ms"]; f += v["flow_ms"]; lost += v["lost"]
      if (v["worker_ms"] > wmax) wmax = v["worker_ms"]
      if (v["flow_ms"] > fmax) fmax = v["flow_ms"]
      if (v["result"] != (n > 0 ? 0 : -1)) bad++
    }
    END {
      if (runs == 0) { printf "%-7s %5d %5d   no runs completed\n", port, links, n; exit }
      printf "%-7s %5d %5d %5d   %8.1f %8.1f  %6.4fx   %8.1f %8.1f  %6.4fx   %5d %s\n",
        port, links, n, runs, w / runs, wmax, wmax / 3000, f / runs, fmax, fmax / 3000, lost,
        bad ? "(" bad " runs with an unexpected result)" : ""
    }' "$4"
}

# run_case PORT LINKS:N: a fresh topology with LINKS up links, N simulated
# converters on the first, RUNS scans.
run_case() {
  local port=$1 links=${2%:*} n=${2#*:} out=$work/$1-$2.txt args=()
  ns_cleanup
  topo_many_interfaces $((links - 1))
  mapfile -t args < <(converters "$n")
  if [ "$n" -gt 0 ]; then
    sim_start "$NS_CONV" "$work/sim-$port-$2.log" "${args[@]}"
  fi
  local seconds=$((runs * 15 + 60))
  if [ "$port" = posix ]; then
    ns_run "$NS_PC" "$seconds" "$bench" "$runs" "$n" >"$out" 2>"$out.err"
  else
    WINEPREFIX=$wine_prefix "$winerun" --kill >/dev/null 2>&1
    # A first use may initialise the prefix: outside the measured runs.
    ns_run "$NS_PC" 600 env WINEPREFIX="$wine_prefix" "$winerun" --server >/dev/null 2>&1
    ns_run "$NS_PC" "$((seconds + 120))" env WINEPREFIX="$wine_prefix" \
      CS_WINE_TIMEOUT="$seconds" "$winerun" "$bench_exe" "$runs" "$n" >"$out" 2>"$out.err"
    WINEPREFIX=$wine_prefix "$winerun" --kill >/dev/null 2>&1
  fi
  tr -d '\r' <"$out" >"$out.clean"
  summary "$port" "$links" "$n" "$out.clean"
  [ -s "$out.err" ] && sed 's/^/    stderr: /' "$out.err" | head -5
  return 0
}

header() {
  echo "port    links convs  runs  worker: mean     max   max/3s    flow: mean     max   max/3s    lost"
}

echo "Scan benchmark: $runs scans per case; floor 3000 ms (three silent seconds)"
echo "goals: worker <= 1.01x (native), <= 1.02x (wine); flow <= 1.04x, <= 1.05x; nothing lost"
header
if [[ " $ports " == *" posix "* ]]; then
  for c in $cases; do run_case posix "$c"; done
fi
if [[ " $ports " != *" wine "* ]]; then
  :
elif [ ! -f "$bench_exe" ]; then
  echo "wine    (left out: $bench_exe is not built)"
elif [ -z "${DISPLAY:-}" ]; then
  echo "wine    (left out: DISPLAY is not set)"
else
  for c in $cases; do run_case wine "$c"; done
fi
