#!/usr/bin/env bash
# `make dist`: the release files of the committed tree (HEAD) in dist/:
#   corvane-VERSION-linux-x86-64.tar.gz   static x86-64 Linux build
#   corvane-VERSION-windows-x86-64.zip    64-bit Windows (MinGW-w64, static)
#   corvane-VERSION-windows-i686.zip      32-bit Windows
#   corvane_VERSION_ARCH.deb              the Debian package (deb.sh)
#   SHA256SUMS                            the checksums of all four
# each archive holding corvane, corvane-bench, README.md and LICENSE in a
# folder of the archive's name. The files are reproducible: the same commit built with
# the same Debian tools gives the same bytes in any directory, because
# timestamps come from the commit, entries are sorted with fixed owners and
# modes, and no path of the build machine reaches the binaries (the prefix map
# hides the build directory from any macro or assertion text, and the
# binaries are stripped).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}

source packaging/common.sh
require_tools "make dist" "cmake g++ make g++-mingw-w64-x86-64 g++-mingw-w64-i686 zip dpkg-dev" git cmake g++ \
    x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix zip gzip sha256sum dpkg-deb dpkg-buildflags dpkg-shlibdeps
use_committed_tree

stage=$root/build/dist
rm -rf "$stage"
mkdir -p "$stage/src" "$stage/pkg" dist
git archive --format=tar HEAD | tar -x -C "$stage/src"
version=$(sed -n 's/^project(Corvane VERSION \([0-9][0-9.]*\).*/\1/p' "$stage/src/CMakeLists.txt")
if [ -z "$version" ]; then
    echo "CMakeLists.txt gives no project version" >&2
    exit 1
fi
echo "==> Corvane $version from commit $commit (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"

# build NAME CMAKE-ARGS...: corvane and corvane-bench in $stage/NAME.
build() {
    local dir=$stage/$1
    shift
    cmake -S "$stage/src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
        -DCORVANE_WERROR="${WERROR:-OFF}" "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$stage=." "$@"
    cmake --build "$dir" -j "$jobs"
}
# Statically linked, the Linux build runs on any x86-64 Linux, whatever its
# C library; glibc 2.34 and later link threads statically without caveats.
build linux "-DCMAKE_EXE_LINKER_FLAGS_RELEASE=-static -s"
# The toolchain files link statically; these flags add stripping and leave out
# the link time that PE headers otherwise carry.
for arch in x86_64 i686; do
    build "win-$arch" "-DCMAKE_TOOLCHAIN_FILE=$stage/src/cmake/mingw-w64-$arch.cmake" \
        "-DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s -Wl,--no-insert-timestamp"
done

# package NAME BUILD SUFFIX: the folder that becomes the archive NAME.
package() {
    local dir=$stage/pkg/$1
    mkdir -p "$dir"
    install -m 755 "$stage/$2/corvane$3" "$stage/$2/corvane-bench$3" "$dir/"
    install -m 644 "$stage/src/README.md" "$stage/src/LICENSE" "$dir/"
    chmod 755 "$dir"
    find "$dir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

linux=corvane-$version-linux-x86-64
package "$linux" linux ""
tar -C "$stage/pkg" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" -cf - "$linux" | gzip -9n > "dist/$linux.tar.gz"

files=("$linux.tar.gz")
for arch in x86-64 i686; do
    name=corvane-$version-windows-$arch
    package "$name" "win-${arch/-/_}" .exe
    rm -f "dist/$name.zip"
    # -X: no owner or extended-time fields; the DOS times are local, hence UTC.
    (cd "$stage/pkg" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -9 -@ "$root/dist/$name.zip")
    files+=("$name.zip")
done

# The package is built from the same commit, so one checksum file covers
# every file of the release.
JOBS=$jobs packaging/deb.sh
files+=("corvane_${version}_$(dpkg --print-architecture).deb")
(cd dist && sha256sum "${files[@]}" > SHA256SUMS)
echo "==> dist/"
cat dist/SHA256SUMS
