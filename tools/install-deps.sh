#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing ZUN2 need; with --run only those that
# building and running it need (no tests), with --package those that building and checking the
# .deb package need, with --clang also Clang and its sanitizer runtime (the sanitized tests and the
# fuzzers), with --tidy also clang-tidy. Only apt-get runs as root: through sudo when the caller is
# an ordinary user, directly when the caller is root (a bare container has no sudo).
# usage: tools/install-deps.sh [--run | --package | --clang | --tidy]
set -euo pipefail
# libgit2 merges the two sides of a task.
packages=(cmake g++ make pkg-config libglib2.0-dev libgit2-dev qt6-base-dev)
# txt2pdbdoc and calibre (ebook-convert) are peers in the tests; their tests skip without them, as
# the window's desktop tests do without Xvfb, weston (headless Wayland), Qt's Wayland plugin and a
# session bus; gio, with GVfs and a session bus, lists and restores what the tests put into the Trash;
# dbus-monitor (dbus-bin) shows the tests the desktop notifications on that bus.
tests=(libgtest-dev libbenchmark-dev txt2pdbdoc calibre xvfb weston qt6-wayland dbus-daemon libglib2.0-bin gvfs
  dbus-bin)
case "${1:-}" in
  "") packages+=("${tests[@]}") ;;
  --run) ;;
  --package) packages+=(dpkg-dev file desktop-file-utils appstream lintian man-db devscripts) ;;
  --clang) packages+=("${tests[@]}" clang libclang-rt-14-dev) ;;
  --tidy) packages+=("${tests[@]}" clang clang-tidy) ;;
  *) echo "usage: tools/install-deps.sh [--run | --package | --clang | --tidy]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  echo "install-deps: installing ${missing[*]} with sudo" >&2
  as_root=(sudo)
else
  echo "install-deps: missing ${missing[*]}; install them as root (sudo is not available)" >&2
  exit 1
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
