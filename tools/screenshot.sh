#!/usr/bin/env bash
# Makes docs/screenshot.png: the window with a few demonstration tasks, in a real X server (Xvfb).
# Needs: xvfb, imagemagick, python3, and a build in build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$root/build/bin/zun2"
[ -x "$program" ] || { echo "build first: $program" >&2; exit 1; }
for tool in xvfb-run import python3; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install xvfb imagemagick python3)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/texts" "$work/jpilot/.jpilot/backup"
printf 'user Anna Smith\nuser_id 4242\n' > "$work/jpilot/.jpilot/jpilot.rc"
python3 "$root/tools/demo_data.py" "$work" "$work"
printf 'Milk\r\nBread\r\nApples\r\n' > "$work/texts/shopping.txt"
cat > "$work/shoot.sh" <<SHOOT
cd "$work"
JPILOT_HOME="$work/jpilot" "$program" &
pid=\$!
sleep 3
import -window "ZUN2 V1.07" "$root/docs/screenshot.png"
kill \$pid
SHOOT
xvfb-run -a -s "-screen 0 1024x640x24" bash "$work/shoot.sh"
echo "wrote docs/screenshot.png"
