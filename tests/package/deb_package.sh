#!/usr/bin/env bash
# The Debian package: its dependencies computed from the programs, the files
# a desktop expects, and a tool that runs from the unpacked tree.
# Usage: deb_package.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libhidapi-hidraw0 libqt6widgets6 libstdc++6 libxkbcommon0 xkb-data; do
    grep -q "$lib" <<< "$depends" || { echo "Depends lacks $lib: $depends"; exit 1; }
done
root="$out/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tovask usr/bin/tovask-cli usr/share/applications/tovask.desktop \
         usr/share/mime/packages/tovask.xml usr/share/icons/hicolor/48x48/apps/tovask.png \
         usr/lib/udev/rules.d/60-tovask-reader.rules; do
    [ -e "$root/$f" ] || { echo "the package lacks /$f"; exit 1; }
done
"$root/usr/bin/tovask-cli" --help | grep -q "^Usage: tovask-cli"
if ldd "$root/usr/bin/tovask-cli" | grep -q -i qt; then
    echo "tovask-cli links Qt"
    exit 1
fi
echo "$(basename "$deb"): $depends"
