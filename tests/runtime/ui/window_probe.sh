#!/usr/bin/env bash
# Runs inside xvfb-run: starts the demo window and probes it.
#   window_probe.sh DEMO type OUTDIR   types with xdotool; the demo writes its text to OUTDIR/text
#   window_probe.sh DEMO idle OUTDIR   writes the frame counts before and after two idle seconds
set -u
demo=$1 mode=$2 out=$3
export KIVO_UI_DEMO_TEXT_FILE="$out/text" KIVO_UI_FRAME_COUNT_FILE="$out/frames" KIVO_UI_SCALE=1
"$demo" >"$out/demo.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null' EXIT

wid=""
for _ in $(seq 1 120); do  # up to 60 s on a loaded machine
  wid=$(xdotool search --onlyvisible --name "Kivo UI demo" 2>/dev/null | head -n1)
  [ -n "$wid" ] && [ -s "$out/frames" ] && break
  kill -0 $pid 2>/dev/null || { echo "demo exited early" >&2; cat "$out/demo.log" >&2; exit 1; }
  sleep 0.5
done
[ -n "$wid" ] || { echo "no demo window" >&2; exit 1; }

case $mode in
  type)
    xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
    sleep 0.3
    xdotool type --window "$wid" --delay 40 "hello kivo"
    for _ in $(seq 1 120); do
      [ "$(cat "$out/text" 2>/dev/null)" = "hello kivo" ] && break
      sleep 0.5
    done
    ;;
  idle)
    # Let start-up work settle (the picture decodes on a worker thread), then watch two seconds.
    last=""
    for _ in $(seq 1 40); do
      now=$(cat "$out/frames")
      [ "$now" = "$last" ] && break
      last=$now
      sleep 0.5
    done
    cat "$out/frames" >"$out/before"
    sleep 2
    cat "$out/frames" >"$out/after"
    ;;
esac
