#!/usr/bin/env bash
# One run of the real viewer under Xvfb: open the demo from the command line, check
# the picture on screen, play it and end Play with Escape, ask for Info, quit from
# the menu. Exit 77 (skipped) when Xvfb or the X tools are missing.
# Usage: viewer_e2e.sh PROGRAM DEMO_FLC
set -euo pipefail

program=$1
demo=$2
for tool in xvfb-run xdotool import ffmpeg; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
if [ ! -x /usr/bin/python3 ] || ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  echo "SKIP: Pillow (python3-pil) is not installed"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$demo" "$work/demo.flc"
here=$(cd "$(dirname "$0")" && pwd)

# The demo's first frame as an independent decoder sees it.
ffmpeg -loglevel error -y -i "$work/demo.flc" -frames:v 1 "$work/frame0.png"

cat > "$work/inner.sh" <<INNER
set -euo pipefail
cd "$work"
title="MOX Flic-Fli File Viewer v0.4"
fail() { echo "FAIL: \$*"; kill "\$pid" 2>/dev/null || true; exit 1; }
wait_window() {  # name, tenths of a second
  for _ in \$(seq "\$2"); do
    if xdotool search --name "^\$1\\\$" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

start=\$(date +%s%N)
"$program" "$work/demo.flc" &
pid=\$!
wait_window "\$title" 100 || fail "the main window did not appear"
win=\$(xdotool search --name "^\$title\\\$" | head -1)
shown=\$(( (\$(date +%s%N) - start) / 1000000 ))
echo "window shown after \${shown} ms"
sleep 0.5
xdotool windowfocus --sync "\$win" 2>/dev/null || xdotool windowfocus "\$win"
eval "\$(xdotool getwindowgeometry --shell "\$win")"
echo "window at \$X,\$Y size \${WIDTH}x\${HEIGHT}"
import -window root shot-start.png
/usr/bin/python3 "$here/check_shot.py" shot-start.png frame0.png "\$X" "\$Y" "\$WIDTH" "\$HEIGHT" \
  || fail "the first frame is not on screen"

# Play, then Escape after a while; Play must end long before the demo's five seconds.
xdotool key --window "\$win" alt+f
sleep 0.3
xdotool key --window "\$win" p
sleep 1.0
import -window root shot-play.png
/usr/bin/python3 "$here/check_shot.py" --differs shot-play.png shot-start.png "\$X" "\$Y" "\$WIDTH" "\$HEIGHT" \
  || fail "the picture does not move during Play"
xdotool key --window "\$win" Escape
sleep 0.4
xdotool key --window "\$win" alt+f
sleep 0.3
xdotool key --window "\$win" i
wait_window "FLI/FLC" 15 || fail "Info did not answer: Play did not end on Escape"
echo "Play ended on Escape; Info shown"
for box in \$(xdotool search --onlyvisible --name "^FLI/FLC\\\$"); do
  xdotool windowfocus "\$box" 2>/dev/null || true
done
sleep 0.2
xdotool key Return
sleep 0.5
if xdotool search --name "^FLI/FLC\\\$" >/dev/null 2>&1; then fail "the Info box did not close"; fi

xdotool windowfocus "\$win" 2>/dev/null || true
# The window goes away at the press, so the releases may find no window.
xdotool key --window "\$win" alt+q 2>/dev/null || true
for _ in \$(seq 50); do
  if ! kill -0 "\$pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if kill -0 "\$pid" 2>/dev/null; then fail "Quit did not end the program"; fi
wait "\$pid" || fail "the program exited with \$?"
echo "quit from the menu: exit code 0"
INNER

xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh"
