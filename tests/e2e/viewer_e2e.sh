#!/usr/bin/env bash
# The real viewer under Xvfb with a window manager: --help without a display; open the
# demo from the command line, check the picture on screen and the title, play it from
# the menu and end Play with Escape, ask for Info, play it with Space and resize the
# window meanwhile, pause and go on, full screen and back, copy the frame (when xclip is
# there), quit from the menu; then close the window from the window manager during
# Play, and quit with Ctrl+Q during Play.
# Exit 77 (skipped) when Xvfb or the X tools are missing.
# Usage: viewer_e2e.sh PROGRAM DEMO_FLC
set -euo pipefail

program=$1
demo=$2
for tool in xvfb-run xdotool wmctrl openbox import ffmpeg; do
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

# Help needs no display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help > "$work/help.txt" \
  || { echo "FAIL: --help exited with $?"; exit 1; }
grep -q '^Usage: moxflic' "$work/help.txt" || { echo "FAIL: --help printed no usage"; exit 1; }

# The demo's first frame as an independent decoder sees it.
ffmpeg -loglevel error -y -i "$work/demo.flc" -frames:v 1 "$work/frame0.png"

cat > "$work/inner.sh" <<INNER
set -euo pipefail
cd "$work"
export XDG_CONFIG_HOME="$work/config"
title="MOX Flic-Fli File Viewer v0.4"
fail() { echo "FAIL: \$*"; kill "\$pid" 2>/dev/null || true; exit 1; }
state() { kill -0 "\$pid" 2>/dev/null && echo "the program runs" || echo "the program has ended"; }
wait_window() {  # name, tenths of a second
  for _ in \$(seq "\$2"); do
    if xdotool search --name "^\$1\\\$" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
# The running program's main window, once it is on screen (its title ends in the program's).
main_window() {
  for _ in \$(seq 100); do
    found=\$(xdotool search --onlyvisible --pid "\$pid" --name "\$title\\\$" 2>/dev/null | head -1)
    if [ -n "\$found" ]; then echo "\$found"; return 0; fi
    sleep 0.1
  done
  return 1
}

openbox >/dev/null 2>&1 &
for _ in \$(seq 50); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done

start=\$(date +%s%N)
"$program" "$work/demo.flc" &
pid=\$!
win=\$(main_window) || fail "the main window did not appear (\$(state))"
shown=\$(( (\$(date +%s%N) - start) / 1000000 ))
echo "window shown after \${shown} ms"
sleep 0.5
xdotool windowfocus --sync "\$win" 2>/dev/null || xdotool windowfocus "\$win"
# Shots are of the window alone: a reparenting window manager moves it inside its frame.
eval "\$(xdotool getwindowgeometry --shell "\$win")"
echo "window size \${WIDTH}x\${HEIGHT}"
import -window "\$win" shot-start.png
/usr/bin/python3 "$here/check_shot.py" shot-start.png frame0.png 0 0 "\$WIDTH" "\$HEIGHT" \
  || fail "the first frame is not on screen"
name=\$(xdotool getwindowname "\$win")
echo "title: \$name"
case "\$name" in
  "demo.flc — 1 / "*" — \$title") ;;
  *) fail "the title does not name the file and the first frame" ;;
esac

# Play, then Escape after a while; Play must end long before the demo's five seconds.
xdotool key --window "\$win" alt+f
sleep 0.3
xdotool key --window "\$win" p
sleep 1.0
import -window "\$win" shot-play.png
/usr/bin/python3 "$here/check_shot.py" --differs shot-play.png shot-start.png 0 0 "\$WIDTH" "\$HEIGHT" \
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

# Play with Space; a resize meanwhile: the frames fill the new client area.
xdotool windowfocus "\$win" 2>/dev/null || true
xdotool key --window "\$win" space
sleep 0.5
wmctrl -r "\$title" -e 0,20,20,900,660
sleep 0.6
eval "\$(xdotool getwindowgeometry --shell "\$win")"
echo "resized during Play to \${WIDTH}x\${HEIGHT}"
import -window "\$win" shot-resized.png
[ "\$WIDTH" -ge 800 ] || fail "the window was not resized"
/usr/bin/python3 "$here/check_shot.py" --filled shot-resized.png 0 0 "\$WIDTH" "\$HEIGHT" \
  || fail "a black area is left in the window resized during Play"
xdotool key --window "\$win" Escape
sleep 0.4

# Pause and go on: the title's frame stands still while paused, and moves again after.
xdotool key --window "\$win" space
sleep 0.6
xdotool key --window "\$win" space
sleep 0.2
paused=\$(xdotool getwindowname "\$win")
sleep 0.6
[ "\$(xdotool getwindowname "\$win")" = "\$paused" ] || fail "Play did not pause on Space"
case "\$paused" in *" — 1 / "*) fail "Play had not begun: \$paused" ;; esac
import -window "\$win" shot-paused.png
xdotool key --window "\$win" space
sleep 0.5
[ "\$(xdotool getwindowname "\$win")" != "\$paused" ] || fail "Play did not go on after the pause"
echo "paused at: \$paused"
xdotool key --window "\$win" Escape
sleep 0.4

# Full screen with F11: the whole screen, no black band; Escape brings the window back.
eval "\$(xdotool getwindowgeometry --shell "\$win")"
before="\${WIDTH}x\${HEIGHT}"
xdotool key --window "\$win" F11
sleep 0.8
eval "\$(xdotool getwindowgeometry --shell "\$win")"
echo "full screen: \${WIDTH}x\${HEIGHT}"
[ "\${WIDTH}x\${HEIGHT}" = "1024x768" ] || fail "F11 did not fill the screen"
import -window root shot-full.png
/usr/bin/python3 "$here/check_shot.py" --filled shot-full.png 0 0 1024 768 || fail "the picture does not fill the screen"
xdotool key --window "\$win" Escape
sleep 0.8
eval "\$(xdotool getwindowgeometry --shell "\$win")"
[ "\${WIDTH}x\${HEIGHT}" = "\$before" ] || fail "Escape did not leave full screen (\${WIDTH}x\${HEIGHT})"

# The frame on the clipboard, at the file's own size.
if command -v xclip >/dev/null 2>&1; then
  xdotool key --window "\$win" ctrl+c
  sleep 0.4
  xclip -selection clipboard -t image/png -o > clip.png || fail "nothing on the clipboard"
  /usr/bin/python3 -c "import sys; from PIL import Image; a, b = Image.open('clip.png'), Image.open('frame0.png'); sys.exit(a.size != b.size)" \
    || fail "the clipboard's picture is not the frame's size"
  echo "copied: the frame on the clipboard"
fi

xdotool windowfocus "\$win" 2>/dev/null || true
# The window goes away at the press, so the releases may find no window: the keys are
# let go of here, or the server's key repeat would quit the next program too.
xdotool key --window "\$win" alt+q 2>/dev/null || true
xdotool keyup alt q 2>/dev/null || true
for _ in \$(seq 50); do
  if ! kill -0 "\$pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if kill -0 "\$pid" 2>/dev/null; then fail "Quit did not end the program"; fi
wait "\$pid" || fail "the program exited with \$?"
echo "quit from the menu: exit code 0"

# The window manager's close request during Play ends Play and the program at once.
"$program" "$work/demo.flc" &
pid=\$!
win=\$(main_window) || fail "the main window did not appear again (\$(state))"
sleep 0.5
xdotool windowfocus "\$win" 2>/dev/null || true
xdotool key --window "\$win" space
sleep 0.5
asked=\$(date +%s%N)
wmctrl -c "\$title"
for _ in \$(seq 100); do
  if ! kill -0 "\$pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if kill -0 "\$pid" 2>/dev/null; then fail "the close request during Play was lost"; fi
ended=\$(( (\$(date +%s%N) - asked) / 1000000 ))
echo "closed during Play: the program ended \${ended} ms after the request"
[ "\$ended" -lt 2000 ] || fail "the close request waited for Play to end"
wait "\$pid" || fail "the program exited with \$?"

# Ctrl+Q during Play quits at once.
"$program" "$work/demo.flc" &
pid=\$!
win=\$(main_window) || fail "the main window did not appear a third time (\$(state))"
sleep 0.5
xdotool windowfocus "\$win" 2>/dev/null || true
xdotool key --window "\$win" space
sleep 0.5
asked=\$(date +%s%N)
xdotool keydown --window "\$win" ctrl+q 2>/dev/null || true
xdotool keyup ctrl q 2>/dev/null || true
for _ in \$(seq 100); do
  if ! kill -0 "\$pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if kill -0 "\$pid" 2>/dev/null; then fail "Ctrl+Q during Play was not obeyed"; fi
ended=\$(( (\$(date +%s%N) - asked) / 1000000 ))
echo "Ctrl+Q during Play: the program ended \${ended} ms after the key"
[ "\$ended" -lt 2000 ] || fail "Ctrl+Q waited for Play to end"
wait "\$pid" || fail "the program exited with \$?"
INNER

# A server number of its own, away from other runs on the same machine.
xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" bash "$work/inner.sh"
