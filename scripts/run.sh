#!/usr/bin/env bash
# Sets everything up and runs Varnel: installs what is missing (as root), builds, and starts the
# program on the user's display. Without a display it starts Varnel under Xvfb, saves a screenshot
# of its window and prints the picture's path.
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
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
  "$1" & pid=$!
  for _ in $(seq 100); do
    win=$(xdotool search --name "Varnel for Windows95" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  sleep 2
  if [ -n "$win" ]; then import -window "$win" "$2"; else import -window root "$2"; fi
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
' _ "$PWD/$program" "$shot"
echo "No display: Varnel ran under Xvfb. Screenshot of its window: $shot"
