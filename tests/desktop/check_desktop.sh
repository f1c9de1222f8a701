#!/usr/bin/env bash
# The real program on an X server with a window manager that draws frames
# (openbox under Xvfb): the layout file survives sessions unchanged, the
# default arrangement's frames touch without overlapping, a window moved by
# its frame comes back there, and Escape does not answer the save question.
# usage: check_desktop.sh DAUBIX   (exit 77: skipped, no Xvfb or openbox)
set -euo pipefail
for tool in Xvfb openbox; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (bash scripts/deps.sh test)"; exit 77; }
done
for tool in xdotool xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (bash scripts/deps.sh test)"; exit 1; }
done

tmp=$(mktemp -d)
xvfb='' wm='' app=''
cleanup() {
  for p in $app $wm $xvfb; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -s "$tmp/log" ] && sed 's/^/  daubix: /' "$tmp/log"; exit 1; }
# Polls a command for up to 20 s.
until_true() { for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done; return 1; }

# A private copy keeps its Daubix.ini beside itself, in a folder of this test.
mkdir -p "$tmp/bin" "$tmp/config" "$tmp/state" "$tmp/run"
chmod 700 "$tmp/run"
cp "$1" "$tmp/bin/daubix"
ini=$tmp/bin/Daubix.ini
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state XDG_RUNTIME_DIR=$tmp/run
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

# A display from :40 up, clear of the low numbers others take by default; a
# taken one makes Xvfb exit, a ready one makes it write its number.
xvfb_ready() { test -s "$tmp/display" || ! kill -0 "$xvfb" 2>/dev/null; }
for n in $(seq 40 99); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
  xvfb=$!
  until_true xvfb_ready
  [ -s "$tmp/display" ] && break
  kill "$xvfb" 2>/dev/null || true
  xvfb=''
done
[ -n "$xvfb" ] || fail "Xvfb did not start on any display from :40 to :99: $(cat "$tmp/xvfb.log")"
export DISPLAY=":$n"
openbox >"$tmp/wm.log" 2>&1 &
wm=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
until_true wm_running || fail "openbox did not start on $DISPLAY"
echo "Xvfb on $DISPLAY with openbox"

# Empty, not a failure, while no such window shows.
window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true; }
has_extents() { xprop -id "$(window "$1")" _NET_FRAME_EXTENTS 2>/dev/null | grep -q =; }
# A window's frame as "left top right bottom": the client's absolute bounds
# widened by the frame extents the window manager reports.
frame() {
  local w x y cw ch l r t b
  w=$(window "$1")
  [ -n "$w" ] || { echo "none"; return; }
  read -r x y cw ch < <(xwininfo -id "$w" | awk '/Absolute upper-left [XY]|Width:|Height:/ {printf "%s ", $NF}')
  IFS=', ' read -r l r t b < <(xprop -id "$w" _NET_FRAME_EXTENTS | sed 's/.*= //')
  echo "$((x - l)) $((y - t)) $((x + cw + r)) $((y + ch + b))"
}

start() {
  "$tmp/bin/daubix" >"$tmp/log" 2>&1 &
  app=$!
  for name in 'Canvas - Daubix' Brush 'Color Picker Dialog' Palette; do
    until_true has_extents "$name" || fail "the window \"$name\" did not show with a frame"
  done
  sleep 0.5  # frames that arrive after the show are applied then
}
menu_shown() {
  local w
  for w in $(xdotool search --onlyvisible --class '^Daubix$' 2>/dev/null || true); do
    xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DROPDOWN_MENU && return 0
  done
  return 1
}
menu_quit() {
  local c
  c=$(window 'Canvas - Daubix')
  xdotool windowactivate --sync "$c" key --window "$c" alt+f
  until_true menu_shown || fail "the File menu did not open"
  xdotool key q
}
ended() { ! kill -0 "$app" 2>/dev/null; }
finish() {
  local status=0
  until_true ended || fail "the program did not end"
  wait "$app" || status=$?
  app=''
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
cycle() { start; "$@"; menu_quit; finish; }

echo "Default arrangement: the brush frame's right edge is the canvas frame's left edge,"
echo "and the picker frame's bottom edge is the palette frame's top edge"
touching() {
  read -r _ _ brush_right _ <<<"$(frame Brush)"
  read -r canvas_left _ _ _ <<<"$(frame 'Canvas - Daubix')"
  read -r _ _ _ picker_bottom <<<"$(frame 'Color Picker Dialog')"
  read -r _ palette_top _ _ <<<"$(frame Palette)"
  [ "$brush_right" = "$canvas_left" ] && [ "$picker_bottom" = "$palette_top" ]
}
check_touching() {
  until_true touching || fail "frames (left top right bottom): Brush $(frame Brush)," \
    "Canvas $(frame 'Canvas - Daubix'), Picker $(frame 'Color Picker Dialog'), Palette $(frame Palette)"
  echo "  brush right $brush_right = canvas left $canvas_left, picker bottom $picker_bottom = palette top $palette_top"
}
rm -f "$ini"
cycle check_touching
[ -f "$ini" ] || fail "no Daubix.ini after the first session"
cp "$ini" "$tmp/ini.0"

echo "Three sessions from that file leave Daubix.ini byte-identical"
for n in 1 2 3; do
  cycle true
  cmp -s "$tmp/ini.0" "$ini" || fail "Daubix.ini changed in session $n:" \
    "$(diff "$tmp/ini.0" "$ini" | tr -d '\r' | tr '\n' ' ')"
done
echo "  $(tr -d '\r' <"$ini" | tr '\n' ' ')"

echo "A brush window moved by its frame comes back to that frame position"
moved='' before=''
moved_away() { test "$(frame Brush)" != "$before"; }
move_brush() {
  before=$(frame Brush)
  xdotool windowmove --sync "$(window Brush)" 100 150
  # The window manager decides where the frame goes: take what it did.
  until_true moved_away || fail "the brush window did not move from $before"
  sleep 0.5
  moved=$(frame Brush)
}
cycle move_brush
read -r left top right bottom <<<"$moved"
want="$top,$left,$((right - left)),$((bottom - top))"
got=$(sed -n 2p "$ini" | tr -d '\r')
[ "$got" = "$want" ] || fail "Daubix.ini line 2 is $got, the moved frame is $want (Top,Left,Width,Height)"
echo "  moved frame (left top right bottom) $moved, Daubix.ini line 2 $got"
back() { test "$(frame Brush)" = "$moved"; }
check_back() { until_true back || fail "the brush frame is at $(frame Brush), it was moved to $moved"; }
cycle check_back

echo "Escape at the save question leaves the question shown"
start
read -r x y _ _ <<<"$(frame 'Canvas - Daubix')"
xdotool mousemove $((x + 150)) $((y + 150)) mousedown 1
for i in $(seq 20); do
  xdotool mousemove $((x + 150 + 10 * i)) $((y + 150 + 5 * i))
  sleep 0.05
done
xdotool mouseup 1
menu_quit
question_shown() { test -n "$(window 確認)"; }
until_true question_shown || fail "no save question after painting and Quit"
xdotool windowactivate --sync "$(window 確認)" key Escape
sleep 1
question_shown || fail "Escape closed the save question"
if ended; then fail "Escape at the save question ended the program"; fi
xdotool windowactivate --sync "$(window 確認)" key alt+n
finish
echo "PASS"
