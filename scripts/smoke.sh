#!/usr/bin/env bash
# Starts the built program for real, under a virtual X server, with its
# runtime, data and config folders in scratch space, on the sample drawing as
# the README's first command names it, and checks its life: the questions of
# the start answered with their defaults (Enter), the frame shows the drawing
# (a grab of the root window: the view's white and the sample's layer colour
# across the drawing's middle; kept as build/smoke-root.png when it does not)
# and runs after 5 s; a second start ends at once with status 0; SIGTERM ends
# the first with status 0 within 5 s, its lock released and its work folder
# emptied of everything but the marker that makes it the program's own.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/bin/brenvik}")

if [ "${BRENVIK_SMOKE_DISPLAY:-}" != 1 ]; then
  BRENVIK_SMOKE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1600x1000x24" "$0" "$program"
fi

fail() {
  echo "smoke: $*" >&2
  exit 1
}

scratch=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -m 700 "$scratch/run"
mkdir "$scratch/data" "$scratch/config"
export XDG_RUNTIME_DIR=$scratch/run XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
unset QT_QPA_PLATFORM
lock=$XDG_RUNTIME_DIR/Brenvik.lock
work=$XDG_DATA_HOME/Halvoren/Brenvik/work

# The drawing the README's first command names, as it names it.
read -r -a readme_args <<< "$(grep -m 1 -o 'build/bin/brenvik [^&]*' README.md | cut -d ' ' -f 2-)"
[ "${#readme_args[@]}" -gt 0 ] || fail "README.md names no drawing for build/bin/brenvik"
"$program" "${readme_args[@]}" &
pid=$!
begun=$(date +%s%N)
elapsed_ms() { echo $(( ($(date +%s%N) - begun) / 1000000 )); }

# The questions of a first start (the default machine made, the drawing's
# resolution) take Enter, their default answer, until the frame shows the
# drawing; without a window manager the one open takes the keys.
frame=
answered=
while [ -z "$frame" ]; do
  [ "$(elapsed_ms)" -lt 10000 ] || fail "no frame 10 s after its start"
  kill -0 "$pid" 2>/dev/null || fail "ended before its frame showed"
  for window in $(xdotool search --all --pid "$pid" --onlyvisible --name . 2>/dev/null); do
    case "$(xdotool getwindowname "$window")" in
      "Brenvik - ["*) frame=$window ;;
      *) if [ "$window" != "$answered" ]; then
           timeout 2 xdotool windowfocus --sync "$window" 2>/dev/null || true
           xdotool key Return
           answered=$window
         fi ;;
    esac
  done
  sleep 0.2
done
left=$(( 5000 - $(elapsed_ms) ))
[ "$left" -le 0 ] || sleep "$(( left / 1000 )).$(printf '%03d' $(( left % 1000 )))"
kill -0 "$pid" 2>/dev/null || fail "not running 5 s after its start"
[ -e "$lock" ] || fail "no lock file at $lock"
[ -d "$work" ] || fail "no work folder at $work"

# The X server's pixels: across the frame's middle, in the drawing's part of
# it (left of the work panel, right of the ruler), the view's white and the
# sides of the sample's cut-outs in its layer's colour (layer 0, black).
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$WIDTH" -ge 640 ] && [ "$HEIGHT" -ge 480 ] || fail "the frame is only ${WIDTH} x ${HEIGHT}"
import -window root "$scratch/root.png"
row=$(stream -map rgb -storage-type char -extract "$(( WIDTH * 9 / 20 ))x1+$(( X + WIDTH / 10 ))+$(( Y + HEIGHT / 2 ))" \
  "$scratch/root.png" - | od -An -v -tx1 -w3)
white=$(grep -c '^ ff ff ff$' <<< "$row" || true)
layer=$(grep -c '^ 00 00 00$' <<< "$row" || true)
if [ "$white" -lt $(( WIDTH / 10 )) ] || [ "$layer" -lt 2 ]; then
  mkdir -p build && cp "$scratch/root.png" build/smoke-root.png
  fail "the frame's middle shows $white white and $layer layer-colour pixels (kept in build/smoke-root.png)"
fi

started=$(date +%s%N)
second=0
timeout 10 "$program" || second=$?
took=$(( ($(date +%s%N) - started) / 1000000 ))
[ "$second" -eq 0 ] || fail "second start ended with status $second"
[ "$took" -lt 2000 ] || fail "second start took $took ms"
kill -0 "$pid" 2>/dev/null || fail "the first instance ended with the second"

# What the program keeps in its work folder stays; a hand-over left there
# goes at exit.
kept=$(cd "$work" && find . -type f | sort)
echo "hand-over" > "$work/default.ai"
mkdir -p "$work/images"
echo "image" > "$work/images/0.bmp"

kill -TERM "$pid"
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after SIGTERM"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "ended with status $status after SIGTERM"
[ ! -e "$lock" ] || fail "lock file left at $lock"
[ -d "$work" ] || fail "work folder removed"
left=$(cd "$work" && find . -type f | sort)
[ "$left" = "$kept" ] || fail "work folder holds $(echo $left) after exit, expected $(echo $kept)"
[ -e "$work/.brenvik-folder" ] || fail "the work folder's marker is gone"
echo "smoke: brenvik showed ${readme_args[*]} ($layer layer-colour pixels across it), refused a second instance and ended cleanly on SIGTERM"
