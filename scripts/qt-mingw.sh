#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source
# package, the same version as the host's qt6-base-dev, and installs it into a
# cache outside the checkout. Prints the install folder on its last line.
#
#   scripts/qt-mingw.sh           build once, then reuse
#   TOVASK_QT_CACHE=DIR           the cache folder (default ${XDG_CACHE_HOME:-~/.cache}/tovask)
#
# The cache is keyed by the source version and a hash of this script and the
# toolchain file; a folder is complete only once its build has finished (it is
# installed under a temporary name and renamed at the end), so an interrupted
# build is never taken for a finished one. The build folder of an interrupted or
# failed build is kept beside it and carried on from by the next run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$here/cmake/mingw-w64-qt.cmake"
cache=${TOVASK_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tovask}

version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev 2>/dev/null) || {
  echo "qt-mingw: qt6-base-dev is not installed (scripts/deps.sh installs it)" >&2; exit 1; }
upstream=${version%%[-+]*}
key=$( (cat "$0" "$toolchain"; x86_64-w64-mingw32-g++-posix --version | head -1) | sha256sum | cut -c1-12)
prefix="$cache/qt-$version-mingw64-$key"
if [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
work="$cache/.build-$version-$key"
partial="$prefix.partial-$$"
mkdir -p "$work"
trap 'rm -rf "$partial"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
start=$(date +%s)
log="$work/build.log"
say() { echo "qt-mingw: $*" >&2; }

say "building Qt $upstream for Windows once, into $prefix"
say "this takes about 15 minutes on 2 free cores, twice that when other work shares them; later runs reuse it"

# A private sources list for the source package: the system's lists are left as they are.
if [ -f "$work/build/build.ninja" ]; then
  say "carrying on from the build in $work"
else
rm -rf "$work" && mkdir -p "$work"
apt_dir="$work/apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed -E 's/^Types:.*/Types: deb-src/' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
done
if [ -f /etc/apt/sources.list ]; then
  sed -nE 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$apt_dir/sources.list.d/system.list"
fi
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
          -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
say "fetching the source package qt6-base $version"
apt-get "${apt_opts[@]}" update -qq >>"$log" 2>&1 || { tail -20 "$log" >&2; say "apt-get update failed"; exit 1; }
(cd "$work" && apt-get "${apt_opts[@]}" source --download-only -qq "qt6-base=$version" >>"$log" 2>&1) ||
  { tail -20 "$log" >&2; say "could not fetch the source package qt6-base $version"; exit 1; }
(cd "$work" && dpkg-source --no-check -x ./*.dsc src >>"$log" 2>&1) ||
  { tail -20 "$log" >&2; say "could not unpack the source package"; exit 1; }

say "configuring (log: $log)"
# Core, Gui, Widgets and Test with the windows, offscreen and minimal platforms
# and the windowsvista style; every third-party library bundled; the rest off
# but OpenGL, without which the Windows platform plugin does not compile.
# The +dfsg source has no wintab, so no tablet events; the Windows platform
# plugin needs DirectWrite, which comes with direct2d.
cmake -G Ninja -S "$work/src" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
  -DCMAKE_INSTALL_PREFIX="$partial" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_icu=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_sql_sqlite=OFF \
  -DQT_USE_CCACHE="$(command -v ccache >/dev/null && echo ON || echo OFF)" \
  >>"$log" 2>&1 || { tail -40 "$log" >&2; rm -rf "$work/build"; say "configuring Qt failed"; exit 1; }
fi

say "building"
# ccache, where there is one, finds the objects of an earlier build in another folder.
export CCACHE_BASEDIR="$work"
# ninja's progress, one line for every 5 %.
set +e
ninja -C "$work/build" -j"$(nproc)" 2>&1 | tee -a "$log" | awk -v start="$start" '
  match($0, /^\[[0-9]+\/[0-9]+\]/) {
    split(substr($0, 2, RLENGTH - 2), n, "/"); p = int(100 * n[1] / n[2])
    if (p >= next_p) { printf "qt-mingw: %3d %% (%d of %d steps, %d min)\n", p, n[1], n[2], (systime() - start) / 60 > "/dev/stderr"; next_p = p - p % 5 + 5 }
  }'
status=${PIPESTATUS[0]}
set -e
[ "$status" -eq 0 ] || { grep -A60 -m1 'FAILED' "$log" | grep -m5 -B2 -A3 'error' >&2 || tail -40 "$log" >&2
                         say "building Qt failed (the whole log: $log)"; exit 1; }
ninja -C "$work/build" install >>"$log" 2>&1 || { tail -40 "$log" >&2; say "installing Qt failed"; exit 1; }
cp "$log" "$partial/build.log"
date -u +%FT%TZ > "$partial/.complete"
rm -rf "$prefix"
mv "$partial" "$prefix"
rm -rf "$work"
say "done in $(( ($(date +%s) - start) / 60 )) minutes"
echo "$prefix"
