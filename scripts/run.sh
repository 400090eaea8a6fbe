#!/usr/bin/env bash
# Sets everything up and runs Varnel: installs what is missing (as root), builds, and starts the
# program on the user's display. Without a display it starts Varnel under Xvfb, saves a screenshot
# of its window (of the whole screen when a box shows instead) and prints the picture's path; it fails
# when no picture was taken.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target varnel
program=build/default/src/varnel

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

mkdir -p shots
shot="$PWD/shots/varnel-$(date +%Y%m%d-%H%M%S).png"
export DBUS_SESSION_BUS_ADDRESS=disabled:
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
seen="$XDG_RUNTIME_DIR/seen"
# Inside Xvfb: wait for the main window to be visible, or for a box of the program shown in its
# place (a start-up warning, say), and picture that window or, for a box, the whole screen.
if ! xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  program=$1 shot=$2 seen=$3 log=$3.log
  "$program" >"$log" 2>&1 &
  pid=$!
  win="" box=0
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --name "^Varnel for Windows95\$" 2>/dev/null | head -n 1) || true
    [ -n "$win" ] && break
    # A box alone: give the main window a second to follow before settling on the box.
    if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then box=$((box + 1)); else box=0; fi
    [ "$box" -ge 10 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -n "$win" ]; then
    sleep 2
    import -window "$win" "$shot" && echo window >"$seen"
  elif [ "$box" -ge 10 ]; then
    sleep 1
    import -window root "$shot" && echo box >"$seen"
  elif kill -0 "$pid" 2>/dev/null; then
    echo "Varnel showed no window within 15 seconds." >&2
  else
    echo "Varnel ended before it showed a window." >&2
  fi
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  if [ "$(cat "$seen" 2>/dev/null)" != window ] && [ -s "$log" ]; then
    { echo "--- what Varnel printed:"; cat "$log"; } >&2
  fi
  [ -s "$seen" ]
' _ "$PWD/$program" "$shot" "$seen" || [ ! -s "$shot" ]; then
  echo "No display: Varnel ran under Xvfb, but no screenshot was taken (see above)." >&2
  exit 1
fi
case $(cat "$seen") in
  window) echo "No display: Varnel ran under Xvfb. Screenshot of its window: $shot" ;;
  box) echo "No display: Varnel ran under Xvfb and showed a message box instead of its window." \
    "Screenshot of the screen: $shot" ;;
esac
