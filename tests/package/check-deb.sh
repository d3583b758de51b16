#!/usr/bin/env bash
# Makes the Debian package from a build and checks what it would install, without installing
# it: the program, a valid menu entry whose command and icon are in the package, the icons at
# their sizes, the scheduling examples, nothing outside /usr, and the declared dependencies.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  exit 1
fi
debs=("$out"/tolvane_*_*.deb)
deb="${debs[0]}"
contents="$(dpkg-deb -c "$deb")"
dpkg-deb -x "$deb" "$out/root"
failed=0
fail() { echo "FAILED: $*"; failed=1; }
has() { grep -qE "$1" <<<"$contents" || fail "not in the package: $1"; }

desktop="$out/root/usr/share/applications/tolvane.desktop"
[ -f "$desktop" ] || fail "no menu entry"
desktop-file-validate "$desktop" || fail "the menu entry is not valid"
command="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
icon="$(sed -n 's/^Icon=//p' "$desktop")"
has "^-rwxr-xr-x root/root .* \./usr/bin/${command}\$"
for size in 16 32 48 64 128 256; do
  png="$out/root/usr/share/icons/hicolor/${size}x${size}/apps/${icon}.png"
  # A PNG's width and height are the two big-endian words after its 16-byte start.
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png" 2>/dev/null) ||
    { fail "no ${size} pixel icon"; continue; }
  [ "$width $height" = "$size $size" ] || fail "the ${size} pixel icon is ${width}x${height}"
done
has " \./usr/share/icons/hicolor/scalable/apps/${icon}\.svg\$"
has " \./usr/share/doc/tolvane/examples/systemd/tolvane-batch\.service\$"
has " \./usr/share/doc/tolvane/examples/systemd/tolvane-batch\.timer\$"
outside="$(grep -vE ' \./(usr/.*)?$' <<<"$contents" || true)"
[ -z "$outside" ] || fail "outside /usr: $outside"

[ "$(dpkg-deb -f "$deb" Version)" = "$(sed -n 's/.*kVersion\[\] = "\(.*\)".*/\1/p' \
  "$(dirname "$0")/../../src/common/AppInfo.h")" ] || fail "the package's version is not the program's"
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6widgets6 qt6-qpa-plugins fonts-noto-cjk libsmbclient libsecret-1-0 \
  qt6-translations-l10n; do
  grep -q "\b${package}\b" <<<"$depends" || fail "${package} is not a dependency: ${depends}"
done

if ((failed)); then
  echo "$contents"
  exit 1
fi
echo "package $(basename "$deb"): contents as expected"
