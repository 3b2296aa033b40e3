#!/usr/bin/env bash
# Runs a command in a desktop of its own: a private session bus and either an X server (Xvfb,
# "x11") or a headless Wayland compositor (weston, "wayland"), with a runtime folder that is
# removed afterwards. Exit status 77 (skipped) when the display server is not installed.
# usage: desktop_session.sh x11|wayland COMMAND...
set -euo pipefail
kind="$1"
shift
case "$kind" in
  x11) server=Xvfb ;;
  wayland) server=weston ;;
  *) echo "usage: desktop_session.sh x11|wayland COMMAND..." >&2; exit 2 ;;
esac
for program in dbus-daemon "$server"; do
  command -v "$program" >/dev/null || { echo "desktop_session: $program is not installed" >&2; exit 77; }
done

run="$(mktemp -d)"
chmod 700 "$run"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$run"
}
trap cleanup EXIT

# Waits up to 10 s for a file to appear and hold something.
ready() {
  for _ in $(seq 100); do [ -s "$1" ] || [ -S "$1" ] && return 0; sleep 0.1; done
  echo "desktop_session: $2 did not start" >&2
  exit 1
}

export XDG_RUNTIME_DIR="$run" HOME="$run"
unset DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
dbus-daemon --session --nofork --address="unix:path=$run/bus" >/dev/null 2>&1 &
pids+=($!)
ready "$run/bus" dbus-daemon
export DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus"

if [ "$kind" = x11 ]; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/display" >/dev/null 2>&1 &
  pids+=($!)
  ready "$run/display" Xvfb
  export DISPLAY=":$(cat "$run/display")" QT_QPA_PLATFORM=xcb
else
  weston --backend=headless-backend.so --socket=wayland-zun2 --idle-time=0 >"$run/weston.log" 2>&1 &
  pids+=($!)
  ready "$run/wayland-zun2" weston
  export WAYLAND_DISPLAY=wayland-zun2 QT_QPA_PLATFORM=wayland
fi
"$@"
