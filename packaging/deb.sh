#!/usr/bin/env bash
# `make deb`: dist/corvane_VERSION_ARCH.deb from the committed tree (HEAD),
# built with dpkg's own tools: the engine and corvane-bench in /usr/games
# (linked against the system's libraries, with Debian's hardening flags),
# their manual pages in section 6, and the copyright file, changelog and
# README in /usr/share/doc/corvane.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}

source packaging/common.sh
require_tools "make deb" "cmake g++ make dpkg-dev" git cmake g++ dpkg-deb dpkg-buildflags dpkg-shlibdeps gzip strip
use_committed_tree

stage=$root/build/deb
rm -rf "$stage"
mkdir -p "$stage/src" dist
git archive --format=tar HEAD | tar -x -C "$stage/src"
cd "$stage/src"
version=$(sed -n 's/^project(Corvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
logged=$(sed -n '1s/^corvane (\([^)]*\)).*/\1/p' packaging/changelog)
if [ -z "$version" ] || [ "$version" != "$logged" ]; then
    echo "packaging/changelog ends at version '$logged', CMakeLists.txt says '$version': add a changelog entry" >&2
    exit 1
fi
arch=$(dpkg --print-architecture)
echo "==> corvane $version ($arch) from commit $commit"

# Debian's hardening flags (with immediate binding); dpkg-buildflags also maps
# this directory out of the binaries. Without -g nothing else of the build
# machine's paths is left, so the package too comes out the same from any
# directory.
export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow DEB_CXXFLAGS_STRIP=-g
cmake -S . -B "$stage/build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_WERROR="${WERROR:-OFF}" \
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$stage/build" -j "$jobs"

pkg=$stage/root
doc=$pkg/usr/share/doc/corvane
install -d -m 755 "$pkg/DEBIAN" "$pkg/usr/games" "$pkg/usr/share/man/man6" "$doc"
for program in corvane corvane-bench; do
    install -m 755 "$stage/build/$program" "$pkg/usr/games/"
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$pkg/usr/games/$program"
    gzip -9n < "packaging/$program.6" > "$pkg/usr/share/man/man6/$program.6.gz"
done
install -m 644 packaging/copyright "$doc/"
gzip -9n < packaging/changelog > "$doc/changelog.gz"
gzip -9n < README.md > "$doc/README.md.gz"
find "$pkg/usr" -type f ! -perm 755 -exec chmod 644 {} +

# dpkg-shlibdeps reads the package list of a source tree: a minimal one.
mkdir -p "$stage/shlibs/debian"
printf 'Source: corvane\n\nPackage: corvane\nArchitecture: any\n' > "$stage/shlibs/debian/control"
depends=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$pkg/usr/games/corvane" "$pkg/usr/games/corvane-bench" |
    sed -n 's/^shlibs:Depends=//p')
maintainer=$(sed -n 's/^ -- \(.*>\)  .*/\1/p' packaging/changelog | head -1)
cat > "$pkg/DEBIAN/control" <<CONTROL
Package: corvane
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size "$pkg/usr" | cut -f1)
Depends: $depends
Section: games
Priority: optional
Description: chess engine for UCI graphical interfaces
 Corvane is a chess engine that a chess GUI starts and drives with the
 Universal Chess Interface (UCI) protocol. It plays games under a clock,
 analyses, ponders, reads Polyglot opening books and Syzygy endgame
 tables, searches with several threads, and can play at a chosen
 strength.
 .
 The package also holds corvane-bench, the engine's benchmarks and
 developer commands (perft, evaluation, fixed-depth search, table probes).
CONTROL
(cd "$pkg" && find usr -type f | LC_ALL=C sort | xargs md5sum) > "$pkg/DEBIAN/md5sums"
chmod 644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"

deb=$root/dist/corvane_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$deb"
echo "==> dist/$(basename "$deb")"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Version\|Depends\|Installed-Size\):/  &/p'
