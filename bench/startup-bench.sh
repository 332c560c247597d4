#!/usr/bin/env bash
# Start-up benchmark of ConverterSetup.exe under wine (figures, not a test).
#
# One supported converter in the PC's subnet: the program scans (three
# discovery cycles, each ended by one second of silence: a 3.0 s floor),
# finds it and asks the shell to open its page. Measured per run, from the
# moment the wine wrapper is called:
#   window   the progress window is on screen (shown and painted at once)
#   scan     the progress window goes (the scan is over)
#   launch   the launching window is on screen
#   open     the shell has handed the address to the browser (a stand-in
#            xdg-open that writes the time)
# The first run starts the wineserver (cold); the others find it running
# (warm). Goals: open within 1.1 x the floor; the progress window within
# 0.3 s of a warm start.
# Then nothing answers: from the scan's end (the progress window goes) to
# the not-found notice on screen with its findings, which are gathered then
# (the adapters, their networks, the firewall); No closes it.
# Then a converter in another subnet whose page answers 5 s after it took
# its address: from the scan's end to the address setup dialog on screen
# (the link asked which candidate is free), and from the page answering (the
# exchange itself takes 3 s, so the page check is under way by then) to
# the browser call (the page check's attempts come every 500 ms).
# Last, a link without its address at the start that gets one 4 s later:
# from the address to the browser call.
#
#   startup-bench.sh [RUNS]      (default 5 warm runs)
#
# Runs from ./run bench, inside the run's isolated namespace. CS_BUILD names
# the build folder; CS_WIN_TREE overrides the windows tree; CS_BENCH_PREFIX
# the wine prefix (default: the prefix of the end-to-end tests' subnet rows).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build=${CS_BUILD:-$root/build}
win=${CS_WIN_TREE:-$build/windows}
runs=${1:-5}
# shellcheck source=../tools/ns/topology.sh
. "$root/tools/ns/topology.sh"

CONVERTER_SIM=$win/tests/net/converter-sim
exe=$win/app/ConverterSetup.exe
winlog_exe=$win/tools/winlog/cs-winlog.exe
drive_exe=$win/tools/drive/cs-drive.exe
winerun=$root/tools/wine/winerun
export WINEPREFIX=${CS_BENCH_PREFIX:-$win/wine/e2e-subnet}
work=$build/bench-startup
floor=3.0
for f in "$CONVERTER_SIM" "$exe" "$winlog_exe" "$drive_exe"; do
  [ -e "$f" ] || { echo "startup-bench: missing $f (build the windows tree first)" >&2; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "startup-bench: no display" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/browser"

# The browser stand-in: the time the address arrived, and the address.
cat >"$work/browser/xdg-open" <<'EOF'
#!/bin/sh
printf '%s %s\n' "$(date +%s.%N)" "$*" >>"$CS_BENCH_OPEN_LOG"
EOF
chmod +x "$work/browser/xdg-open"

winlog_pid=
finish() {
  touch "$work/stop"
  [ -n "$winlog_pid" ] && wait "$winlog_pid" 2>/dev/null
  "$winerun" --kill >/dev/null 2>&1
  ns_cleanup
}
ns_init
trap finish EXIT
"$winerun" --kill >/dev/null 2>&1

topo_same_subnet
sim_start "$NS_CONV" "$work/sim.log" --converter name=ZTL-BR720-Bench,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50 --http 80
in_pc() {
  local seconds=$1
  shift
  ns_run "$NS_PC" "$seconds" env CS_WINE_TIMEOUT=$((seconds - 5)) "$@"
}
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# The first run of a fresh prefix would include its set-up: prepare apart.
in_pc 600 "$winerun" --server >>"$work/wine.log" 2>&1 || { echo "startup-bench: wine did not start" >&2; exit 1; }
"$winerun" --kill >/dev/null 2>&1

# one_run LABEL: one start of the program; prints its figures.
one_run() {
  local label=$1 log=$work/windows-$1.log open=$work/open-$1.log t0 rc
  rm -f "$work/stop"
  : >"$open"
  if [ "$label" = cold ]; then
    # The server of this run is started by the program's own wine call.
    t0=$(date +%s.%N)
    in_pc 120 env PATH="$work/browser:$PATH" CS_BENCH_OPEN_LOG="$open" "$winerun" "$exe" \
      >>"$work/wine.log" 2>&1 </dev/null
    rc=$?
    for _ in $(seq 100); do [ -s "$open" ] && break; sleep 0.05; done
    # No window log in a cold run (it would start the server first); the
    # total only.
    awk -v t0="$t0" -v floor="$floor" -v rc="$rc" '
      { open = $1 }
      END {
        if (open == "") { printf "cold   no address reached the browser (exit %s)\n", rc; exit }
        printf "cold   open %.3f s (%.2f x floor)  exit %s\n", open - t0, (open - t0) / floor, rc
      }' "$open"
    return
  fi
  in_pc 300 "$winerun" "$winlog_exe" "$(winpath "$log")" "$(winpath "$work/stop")" \
    >>"$work/wine.log" 2>&1 </dev/null &
  winlog_pid=$!
  for _ in $(seq 200); do grep -qx ready "$log" 2>/dev/null && break; sleep 0.05; done
  t0=$(date +%s.%N)
  in_pc 120 env PATH="$work/browser:$PATH" CS_BENCH_OPEN_LOG="$open" "$winerun" "$exe" \
    >>"$work/wine.log" 2>&1 </dev/null
  rc=$?
  for _ in $(seq 100); do [ -s "$open" ] && break; sleep 0.05; done
  touch "$work/stop"
  wait "$winlog_pid" 2>/dev/null
  winlog_pid=
  awk -v t0="$t0" -v floor="$floor" -v rc="$rc" -v label="$label" -v open="$(cut -d' ' -f1 "$open" | head -1)" '
    $2 == "show" && /texts="Scanning..."/ && !window { window = $1 }
    $2 == "hide" && window && !scan { scan = $1 }
    $2 == "show" && /texts="Launching Converter Setup Page..."/ && !launch { launch = $1 }
    END {
      if (!window || !scan || !launch || open == "") {
        printf "%-6s incomplete (exit %s): window %s scan %s launch %s open %s\n", label, rc, window, scan, launch, open
        exit
      }
      printf "%-6s window %.3f  scan %.3f  launch %.3f  open %.3f s (%.2f x floor)  exit %s\n",
        label, window - t0, scan - t0, launch - t0, open - t0, (open - t0) / floor, rc
      printf "figures %.4f %.4f %.4f %.4f %.4f\n", window - t0, scan - window, launch - scan, open - launch, open - t0 > "/dev/stderr"
    }' "$log" 2>>"$work/figures"
}

echo "== start-up of ConverterSetup.exe under wine, one converter in the PC's subnet"
echo "   times from the wrapper call; floor: three one-second discovery cycles = ${floor} s"
echo "   machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/figures"
one_run cold
for i in $(seq "$runs"); do one_run "warm$i"; done

# What any program pays to start under wine here, for comparison with the
# progress window's time: the wrapper and a builtin program that does nothing.
echo "== baseline: the wrapper and wine's own cmd /c exit, warm"
base=()
for i in $(seq "$runs"); do
  t0=$(date +%s.%N)
  in_pc 60 "$winerun" cmd /c exit >/dev/null 2>&1 </dev/null
  base+=("$(awk -v t0="$t0" -v t1="$(date +%s.%N)" 'BEGIN { printf "%.3f", t1 - t0 }')")
done
echo "   ${base[*]} s"

echo "== warm runs: median of each part"
awk -v floor="$floor" '
  function median(a, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  { n++; w[n] = $2; s[n] = $3; l[n] = $4; o[n] = $5; t[n] = $6 }
  END {
    if (!n) { print "   no complete warm run"; exit }
    mw = median(w, n); ms = median(s, n); ml = median(l, n); mo = median(o, n); mt = median(t, n)
    printf "   process start to progress window   %.3f s  (goal <= 0.300: %s)\n", mw, mw <= 0.3 ? "met" : "missed"
    printf "   scan (progress window on screen)   %.3f s\n", ms
    printf "   decision to launching window        %.3f s\n", ml
    printf "   launching window to browser call    %.3f s\n", mo
    printf "   start to browser call               %.3f s = %.2f x floor  (goal <= 1.10: %s)\n", mt, mt / floor, mt / floor <= 1.1 ? "met" : "missed"
  }' "$work/figures"

# not_found_run N: one start against a converter that answers nothing; the
# time from the scan's end to the notice, and whether it held findings.
not_found_run() {
  local log=$work/notfound-$1.log notice
  rm -f "$work/stop"
  in_pc 300 "$winerun" "$winlog_exe" "$(winpath "$log")" "$(winpath "$work/stop")" \
    >>"$work/wine.log" 2>&1 </dev/null &
  winlog_pid=$!
  for _ in $(seq 200); do grep -qx ready "$log" 2>/dev/null && break; sleep 0.05; done
  in_pc 120 "$winerun" "$exe" >>"$work/wine.log" 2>&1 </dev/null &
  local app=$!
  notice=$(in_pc 60 "$winerun" "$drive_exe" wait Error No 2>/dev/null | tr -d '\r')
  [ -n "$notice" ] && in_pc 30 "$winerun" "$drive_exe" press "$notice" 2 >/dev/null 2>&1
  wait "$app"
  touch "$work/stop"
  wait "$winlog_pid" 2>/dev/null
  winlog_pid=
  awk -v run="$1" '
    $2 == "hide" && !scan { scan = $1 }
    $2 == "show" && /title="Error"/ && scan && !notice { notice = $1; lines = gsub(/•/, "&") }
    END {
      if (!scan || !notice) { printf "   run %s incomplete\n", run; exit }
      printf "   run %s  scan end to notice with findings %.3f s  (%d finding lines)\n", run, notice - scan, lines
    }' "$log"
}

echo "== nothing answers: the scan's end to the not-found notice with its findings"
sim_stop 2>/dev/null
sim_start "$NS_CONV" "$work/sim-silent.log" --converter name=ZTL-BR720-Bench,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50,repeat=0
for i in $(seq "$runs"); do not_found_run "$i"; done

# assign_run N: one start against the converter in another subnet; Execute
# Setup is pressed as soon as the dialog shows.
assign_run() {
  local log=$work/assign-$1.log open=$work/open-assign-$1.log dialog
  rm -f "$work/stop" "$work/assigned"
  : >"$open"
  # A converter that has not taken an address yet, in a namespace that holds none.
  sim_stop 2>/dev/null
  ns_converter_at 192.168.0.50/24
  sim_start "$NS_CONV" "$work/sim-assign.log" --converter name=ZTL-BR720-Bench,mac=00:1a:2b:3c:4d:5e,ip=10.0.0.5 \
    --http 80 --http-after 5 \
    --on-assign "date +%s.%N >'$work/assigned'; ip addr flush dev $NS_CONV_IF && ip addr add \$1/24 dev $NS_CONV_IF"
  in_pc 300 "$winerun" "$winlog_exe" "$(winpath "$log")" "$(winpath "$work/stop")" \
    >>"$work/wine.log" 2>&1 </dev/null &
  winlog_pid=$!
  for _ in $(seq 200); do grep -qx ready "$log" 2>/dev/null && break; sleep 0.05; done
  in_pc 120 env PATH="$work/browser:$PATH" CS_BENCH_OPEN_LOG="$open" "$winerun" "$exe" \
    >>"$work/wine.log" 2>&1 </dev/null &
  local app=$!
  dialog=$(in_pc 60 "$winerun" "$drive_exe" wait "IP Address Setup" Cancel 2>/dev/null | tr -d '\r')
  [ -n "$dialog" ] && in_pc 30 "$winerun" "$drive_exe" press "$dialog" 4 >/dev/null 2>&1
  wait "$app"
  for _ in $(seq 100); do [ -s "$open" ] && break; sleep 0.05; done
  touch "$work/stop"
  wait "$winlog_pid" 2>/dev/null
  winlog_pid=
  awk -v run="$1" -v answers="$(awk '{ printf "%.3f", $1 + 5 }' "$work/assigned" 2>/dev/null)" \
    -v open="$(cut -d' ' -f1 "$open" | head -1)" '
    $2 == "hide" && !scan { scan = $1 }
    $2 == "show" && /title="IP Address Setup"/ && scan && !dialog { dialog = $1 }
    END {
      if (!scan || !dialog) { printf "   run %s incomplete\n", run; exit }
      printf "   run %s  scan end to address setup dialog %.3f s", run, dialog - scan
      if (answers != "" && open != "") printf "  page answering to browser call %.3f s", open - answers
      printf "\n"
    }' "$log"
}

echo "== another subnet: the scan's end to the address setup dialog, the page's answer to the browser"
for i in $(seq "$runs"); do assign_run "$i"; done
# address_run N: the PC's link comes up without its address (a cable just
# plugged in) and gets it four seconds after the start; from the moment the
# address is there to the browser call. The program reads the adapters every
# 0.5 s while it waits, then scans: floor, the scan's three cycles.
address_run() {
  local open=$work/open-address-$1.log at
  : >"$open"
  ip -n "$NS_PC" addr del 192.168.0.2/24 dev "$NS_PC_IF"
  in_pc 120 env PATH="$work/browser:$PATH" CS_BENCH_OPEN_LOG="$open" "$winerun" "$exe" \
    >>"$work/wine.log" 2>&1 </dev/null &
  local app=$!
  sleep 4
  ip -n "$NS_PC" addr add 192.168.0.2/24 dev "$NS_PC_IF"
  # The kernel dropped the broadcast route with the last address.
  ip -n "$NS_PC" route replace default dev "$NS_PC_IF"
  at=$(date +%s.%N)
  wait "$app"
  for _ in $(seq 100); do [ -s "$open" ] && break; sleep 0.05; done
  awk -v run="$1" -v at="$at" -v floor="$floor" '
    { open = $1 }
    END {
      if (open == "") { printf "   run %s  no address reached the browser\n", run; exit }
      printf "   run %s  address to browser call %.3f s (%.2f x floor)\n", run, open - at, (open - at) / floor
    }' "$open"
}

echo "== the address comes 4 s after the start: from the address to the browser call"
sim_stop 2>/dev/null
ns_converter_at 192.168.0.50/24
sim_start "$NS_CONV" "$work/sim-address.log" --converter name=ZTL-BR720-Bench,mac=00:1a:2b:3c:4d:5e,ip=192.168.0.50 --http 80
for i in $(seq "$runs"); do address_run "$i"; done
