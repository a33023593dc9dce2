#!/usr/bin/env bash
# The Debian package: its dependencies computed from the programs, the files
# a desktop expects, Debian's own checks (lintian, AppStream, desktop entry,
# manual pages), and programs that answer from the unpacked tree.
# Usage: deb_package.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "$*"; exit 1; }
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log") || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libhidapi-hidraw0 libqt6widgets6 libstdc++6 libxkbcommon0 xkb-data; do
    grep -q "$lib" <<< "$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 5 ] || fail "no extended description"
root="$out/root"
dpkg-deb -x "$deb" "$root"
id=io.github.tovask.Tovask
for f in usr/bin/tovask usr/bin/tovask-cli usr/share/applications/$id.desktop \
         usr/share/metainfo/$id.metainfo.xml usr/share/mime/packages/tovask.xml \
         usr/share/icons/hicolor/48x48/apps/tovask.png usr/lib/udev/rules.d/60-tovask-reader.rules \
         usr/share/doc/tovask/copyright usr/share/doc/tovask/changelog.Debian.gz \
         usr/share/doc/tovask/changelog.gz usr/share/man/man1/tovask.1.gz usr/share/man/man1/tovask-cli.1.gz \
         usr/share/bash-completion/completions/tovask-cli; do
    [ -e "$root/$f" ] || fail "the package lacks /$f"
done

# Debian's checker: no error and no warning (informational tags are listed in the README).
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" > "$out/lintian.log" 2>&1 ||
        { cat "$out/lintian.log"; fail "lintian: errors or warnings"; }
    if grep -E '^[EW]: ' "$out/lintian.log"; then fail "lintian: errors or warnings"; fi
fi
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" > "$out/appstream.log" 2>&1 ||
    { cat "$out/appstream.log"; fail "appstreamcli validate failed"; }
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate failed"
# The changelogs and the metainfo name the package's version.
version=$(dpkg-deb -f "$deb" Version)
zcat "$root/usr/share/doc/tovask/changelog.Debian.gz" | head -n1 | grep -q "^tovask ($version) " ||
    fail "changelog.Debian.gz does not start with $version"
grep -q "<release version=\"${version%-*}\" date=" "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo has no release ${version%-*}"

# Both manual pages render, each with its environment section; the tool's has every verb's help.
for page in tovask tovask-cli; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" > "$out/$page.txt" 2> "$out/$page.err" ||
        { cat "$out/$page.err"; fail "man -l $page.1.gz failed"; }
    [ ! -s "$out/$page.err" ] || { cat "$out/$page.err"; fail "man -l $page.1.gz warned"; }
    for word in "TOVASK_COMn" TOVASK_KBPORT TOVASK_USB_VID "$("$root/usr/bin/$page" --version)"; do
        grep -q "$word" "$out/$page.txt" || fail "$page(1) lacks $word"
    done
done
grep -q "Tovask.conf" "$out/tovask.txt" || fail "tovask(1) lacks the settings file"
grep -q "tovask-cli udev-rule" "$out/tovask-cli.txt" || fail "tovask-cli(1) lacks the verbs' help"

# The editor answers --help at once, without a window.
start=$(date +%s%N)
QT_QPA_PLATFORM=offscreen "$root/usr/bin/tovask" --help > "$out/help.txt" || fail "tovask --help failed"
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$ms" -lt 1000 ] || fail "tovask --help took $ms ms"
grep -q "^Usage: tovask" "$out/help.txt" || fail "tovask --help printed no usage"
# With no display at all: --version still answers, an unknown option is a usage error.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
"${nodisplay[@]}" "$root/usr/bin/tovask" --version | grep -qx "tovask ${version%-*}" ||
    fail "tovask --version without a display"
rc=0; "${nodisplay[@]}" "$root/usr/bin/tovask" --no-such-option 2> "$out/usage.txt" || rc=$?
[ "$rc" -eq 2 ] && grep -q "^Usage: tovask" "$out/usage.txt" || fail "tovask --no-such-option: exit $rc"
"$root/usr/bin/tovask-cli" --help | grep -q "^Usage: tovask-cli"
if ldd "$root/usr/bin/tovask-cli" | grep -q -i qt; then
    fail "tovask-cli links Qt"
fi
echo "$(basename "$deb"): $depends; tovask --help in $ms ms"
