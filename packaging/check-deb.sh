#!/usr/bin/env bash
# Builds the Debian package in a build folder configured for /usr and checks it: the file name
# and version, the contents, the dependencies dpkg-shlibdeps found, the programs working from the
# package's layout, Debian's hardening in every program and the library, no path of another
# prefix in them, the same package from a second run, the desktop entry, the AppStream metadata,
# the manual pages, and lintian (no error). Needs the tools of `tools/install-deps.sh --package`.
# usage: packaging/check-deb.sh [BUILD-FOLDER]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version="$(cache CMAKE_PROJECT_VERSION)"
app_id="$(cache ZUN2_APP_ID)"
fail() { echo "check-deb: $*" >&2; exit 1; }
prefix="$(cache CMAKE_INSTALL_PREFIX)"
[ "$prefix" = /usr ] ||
  fail "$build is configured for $prefix; configure a build for the package with -DCMAKE_INSTALL_PREFIX=/usr"

cmake --build "$build" -j2 >/dev/null
rm -f "$build"/zun2_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack failed"; }
deb="$build/zun2_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libc6 libqt6widgets6; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library (dpkg-shlibdeps): $depends"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
has() {
  local line
  while read -r line; do [[ "$line" == $1 ]] && return 0; done <<<"$contents"
  return 1
}
for path in ./usr/bin/zun2 ./usr/bin/zundoc ./usr/bin/zun2-start ./usr/lib/*/zun2/libzun2.so \
    "./usr/share/applications/$app_id.desktop" ./usr/share/icons/hicolor/scalable/apps/zun2.svg \
    ./usr/share/zun2/help/help.htm "./usr/share/metainfo/$app_id.metainfo.xml" \
    ./usr/share/man/man1/zundoc.1.gz ./usr/share/man/man1/zun2.1.gz ./usr/share/man/man1/zun2-start.1.gz \
    ./usr/share/bash-completion/completions/zundoc ./usr/share/doc/zun2/copyright ./usr/share/doc/zun2/changelog.gz \
    ./usr/lib/systemd/user/zun2-watch.service; do
  has "$path" || fail "missing $path"
done
# libzun2.so only in its private folder: no other program loads it by accident.
if grep -E '^\./(usr/)?lib/([^/]+/)?libzun2\.so' <<<"$contents"; then fail "libzun2.so in a linker folder"; fi
if grep -v '^\./usr/' <<<"$contents"; then fail "files outside /usr"; fi

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
# The programs find their library in the package's layout, not in the build folder.
[ "$("$tree/usr/bin/zundoc" --version)" = "zundoc (ZUN2) $version" ] || fail "zundoc --version"
[ "$("$tree/usr/bin/zun2" --version)" = "zun2 (ZUN2) $version" ] || fail "zun2 --version"
[ "$(printf 'text\n' | "$tree/usr/bin/zundoc" encode - "$tree/check.pdb")" = OK ] || fail "the packaged zundoc cannot encode"
rm "$tree/check.pdb"

# Debian's hardening flags. Debian 12's C library start files carry no control-flow (CET) marks, so
# no program of that release has them; libzun2.so copies only into buffers whose size its callers
# alone know, where fortified calls have nothing to check.
binaries=("$tree/usr/bin/zun2" "$tree/usr/bin/zundoc" "$tree"/usr/lib/*/zun2/libzun2.so)
hardening-check --quiet --nocfprotection "${binaries[@]:0:2}" || fail "a program lacks hardening"
hardening-check --quiet --nocfprotection --nofortify "${binaries[2]}" || fail "libzun2.so lacks hardening"
# No folder of another prefix (the XDG default /usr/local/share aside). A path may be cut into the
# 8- or 16-byte pieces the code copies it in, so the start of one is enough.
for binary in "${binaries[@]}"; do
  if strings -a "$binary" | grep -o '/usr/loc[^:]*' | grep -v '^/usr/local/share'; then
    fail "$(basename "$binary") names /usr/local"
  fi
done
if grep -rIl '/usr/local' "$tree/usr"; then fail "a packaged text file names /usr/local"; fi
# A second run makes the same package, byte for byte.
again="$tree/again"
(cd "$build" && cpack -G DEB -B "$again" >/dev/null 2>&1) || fail "the second cpack failed"
cmp -s "$deb" "$again/$(basename "$deb")" || fail "a second run made a different package"
rm -rf "$again"

desktop-file-validate "$tree/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net --strict "$tree/usr/share/metainfo/$app_id.metainfo.xml"
for page in "$tree"/usr/share/man/man1/*.1.gz; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
status=0
report="$(lintian --fail-on error "$deb" 2>&1)" || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"
echo "check-deb: $(basename "$deb") is fine"
