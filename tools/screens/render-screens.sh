#!/usr/bin/env bash
# Pictures of the program's windows in English and Japanese, for review.
#
#   render-screens.sh [--out DIR] [--dpi N] [WINDOW...]
#
# Each WINDOW (all of them when none is named; `ConverterSetup.exe --list` of
# the renderer names them) is shown in each language by the renderer under
# wine on a virtual display of its own and shot into DIR/WINDOW-LANG.png
# (DIR defaults to <build tree>/screens). With --dpi the display runs at N
# dots per inch (96 otherwise), into DIR/WINDOW-LANG-Ndpi.png. Wine hands
# that DPI to a program that declares none, where Windows would scale it: the
# pictures show whether the texts still fit, not what Windows would show.
#
# The renderer's converters are written into its device table and it cannot
# open a real socket; all the same it runs only inside a network namespace:
# started in the machine's own namespace (as root), the script makes one,
# runs itself there and removes it again.
#
# Environment: CS_BUILD_DIR (the Windows build tree; default build/win-screens
# beside this source tree), CS_SCREENS_EXE (the renderer), CS_WINERUN.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CS_BUILD_DIR:-$root/build/win-screens}
exe=${CS_SCREENS_EXE:-$build/tools/screens/program/ConverterSetup.exe}
winerun=${CS_WINERUN:-$root/tools/wine/winerun}

out=$build/screens windows=() dpi=
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift ;;
    --dpi) dpi=$2; shift; [[ $dpi =~ ^[1-9][0-9]*$ ]] || { echo "render-screens: --dpi takes a number" >&2; exit 2; } ;;
    -*) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
    *) windows+=("$1") ;;
  esac
  shift
done

die() { echo "render-screens: $*" >&2; exit 1; }
[ -f "$exe" ] || die "no renderer at $exe (build the Windows tree first)"

# ------------------------------------------------------------ isolation
if [ "$(readlink /proc/self/ns/net)" = "$(readlink /proc/1/ns/net)" ]; then
  [ "$(id -u)" = 0 ] || die "runs only inside a network namespace; start it as root to get one"
  ns="cs-screens-$$-$RANDOM"
  ip netns add "$ns"
  # shellcheck disable=SC2064
  trap "ip netns pids '$ns' 2>/dev/null | xargs -r kill -9 2>/dev/null; ip netns del '$ns' 2>/dev/null" EXIT
  rc=0
  ip netns exec "$ns" env CS_BUILD_DIR="$build" CS_SCREENS_EXE="$exe" CS_WINERUN="$winerun" \
    bash "$0" --out "$out" ${dpi:+--dpi "$dpi"} ${windows[@]+"${windows[@]}"} || rc=$?
  exit $rc
fi
ip link set lo up 2>/dev/null || true

# ------------------------------------------------------------ display and prefixes
mkdir -p "$out"
work=$(mktemp -d "$out/.work.XXXXXX")
xvfb_pid=
cleanup() {
  local lang
  for lang in en ja; do
    [ -d "$work/wine-$lang" ] && WINEPREFIX="$work/wine-$lang" "$winerun" --kill >/dev/null 2>&1
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  true
}
trap cleanup EXIT

# A display of our own, so that no other program's window lies on a picture.
Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 7>"$work/display" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || die "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"

locale_dir=$build/locale
if [ ! -d "$locale_dir/ja_JP.UTF-8" ]; then
  mkdir -p "$locale_dir"
  localedef -i ja_JP -f UTF-8 "$locale_dir/ja_JP.UTF-8" 2>/dev/null \
    || [ -d "$locale_dir/ja_JP.UTF-8" ] || die "cannot generate the ja_JP.UTF-8 locale"
fi

# Each language has a prefix (and wineserver) of its own for this run,
# cloned from the tree's template and removed at the end: the user's locale
# is a prefix's, and the fonts with it.
export CS_WINE_TEMPLATE=$build/wine/template
mkdir -p "$build/wine"
in_lang() {
  local lang=$1; shift
  if [ "$lang" = ja ]; then
    WINEPREFIX="$work/wine-$lang" LOCPATH="$locale_dir" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 "$@"
  else
    WINEPREFIX="$work/wine-$lang" LANG=C.UTF-8 LC_ALL=C.UTF-8 "$@"
  fi
}

# The DPI is a prefix's: set in each language's prefix before its first picture.
set_dpi() {
  local key
  for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
    in_lang "$1" "$winerun" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 </dev/null ||
      die "cannot set $dpi DPI in the $1 prefix"
  done
}

if [ ${#windows[@]} = 0 ]; then
  mapfile -t windows < <(in_lang en "$winerun" "$exe" --list 2>/dev/null | tr -d '\r')
  [ ${#windows[@]} -gt 0 ] || die "the renderer named no window"
fi

# ------------------------------------------------------------ the pictures
shoot() {
  local window=$1 lang=$2 png=$out/$1-$2${dpi:+-${dpi}dpi}.png
  local ready=$work/$window-$lang.ready done=$work/$window-$lang.done
  rm -f "$png" "$ready" "$done"
  in_lang "$lang" env CS_WINE_TIMEOUT=150 "$winerun" "$exe" "$window" "$lang" "Z:$ready" "Z:$done" \
    >"$work/$window-$lang.log" 2>&1 </dev/null &
  local pid=$! waited=0
  while [ ! -s "$ready" ] && kill -0 "$pid" 2>/dev/null && [ $waited -lt 1200 ]; do
    sleep 0.1; waited=$((waited + 1))
  done
  if [ ! -s "$ready" ]; then
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    echo "  $window-$lang: not shown; $(tr -d '\r' <"$work/$window-$lang.log" | tail -3)" >&2
    return 1
  fi
  local x y w h
  read -r x y w h <"$ready"
  # The window may reach beyond the screen's edge: keep what is on screen.
  [ "$x" -lt 0 ] && { w=$((w + x)); x=0; }
  [ "$y" -lt 0 ] && { h=$((h + y)); y=0; }
  import -silent -window root -crop "${w}x${h}+${x}+${y}" +repage "$png"
  touch "$done"
  wait "$pid" 2>/dev/null || true
  echo "  $png (${w}x${h})"
}

failed=0
for lang in en ja; do
  echo "== $lang${dpi:+ at $dpi DPI}"
  [ -z "$dpi" ] || set_dpi "$lang"
  for window in "${windows[@]}"; do
    shoot "$window" "$lang" || failed=$((failed + 1))
  done
done

[ "$failed" = 0 ] || die "$failed picture(s) failed"
