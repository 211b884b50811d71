#!/usr/bin/env bash
# CI for what users download: `make dist` in CLONE (a fresh clone of the
# committed tree with nothing beside it; it makes the package too), then each file checked
# as a user would use it: the checksums, the Linux archive's engine and the
# .deb's (unpacked with dpkg-deb -x) answering `uci` with `uciok` and keeping
# the bench signature, the 64-bit Windows engine doing the same under Wine,
# lintian on the package; last, a second `make dist` in another clone at
# another path must give byte-identical files, the package included.
# Usage: release.sh CLONE
set -euo pipefail
cd "$(dirname "$0")/.."
clone=$(realpath "$1")

source .ci/common.sh
ensure_packages Release zip unzip dpkg-dev lintian g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64

export JOBS=${JOBS:-2} WERROR=${WERROR:-ON}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/corvane-release-XXXXXX")
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all WINEPREFIX=$scratch/wine
cleanup() {
    "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

step "make dist in $clone"
make -C "$clone" dist
dist=$clone/dist
version=$(sed -n 's/^project(Corvane VERSION \([0-9][0-9.]*\).*/\1/p' "$clone/CMakeLists.txt")

step "the checksums, the package's among them"
(cd "$dist" && sha256sum -c SHA256SUMS)
grep -q "  corvane_${version}_$(dpkg --print-architecture)\.deb\$" "$dist/SHA256SUMS"
test "$(wc -l < "$dist/SHA256SUMS")" -eq 4

# answers_uci COMMAND...: the engine started in an empty directory answers uci.
answers_uci() {
    local dir
    dir=$(mktemp -d "$scratch/run-XXXXXX")
    if ! (cd "$dir" && printf 'uci\nquit\n' | timeout 60 "$@" | tr -d '\r' | grep -qx uciok); then
        echo "$* did not answer uci with uciok" >&2
        return 1
    fi
    echo "$*: uciok"
}
# keeps_signature BENCH...: corvane-bench search 5 gives the pinned node count.
keeps_signature() {
    local nodes
    nodes=$("$@" search 5 | tr -d '\r' | sed -n 's/^nodes //p')
    if [ "$nodes" != 398068 ]; then
        echo "$* search 5 gave nodes '$nodes', not 398068" >&2
        return 1
    fi
    echo "$* search 5: nodes $nodes"
}

step "the Linux archive: static, answers uci, keeps the signature"
tar -xzf "$dist/corvane-$version-linux-x86-64.tar.gz" -C "$scratch"
linux=$scratch/corvane-$version-linux-x86-64
ls "$linux/README.md" "$linux/LICENSE" > /dev/null
if ldd "$linux/corvane" > /dev/null 2>&1; then
    echo "$linux/corvane is linked dynamically" >&2
    exit 1
fi
answers_uci "$linux/corvane"
keeps_signature "$linux/corvane-bench"

step "the Windows archives: the 64-bit engine under Wine (the 32-bit one would need 32-bit Wine)"
for arch in x86-64 i686; do
    unzip -q "$dist/corvane-$version-windows-$arch.zip" -d "$scratch"
    ls "$scratch/corvane-$version-windows-$arch/"{corvane.exe,corvane-bench.exe,README.md,LICENSE} > /dev/null
done
"$wine" wineboot --init > /dev/null 2>&1
answers_uci "$wine" "$scratch/corvane-$version-windows-x86-64/corvane.exe"

step "the Debian package: unpacked with dpkg-deb -x, and lintian"
deb=$dist/corvane_${version}_$(dpkg --print-architecture).deb
dpkg-deb -x "$deb" "$scratch/deb"
answers_uci "$scratch/deb/usr/games/corvane"
keeps_signature "$scratch/deb/usr/games/corvane-bench"
lintian --fail-on error "$deb"

step "reproducible: make dist in a second clone at another path gives the same bytes"
git clone --quiet "$clone" "$scratch/second/place/corvane"
make -C "$scratch/second/place/corvane" dist > "$scratch/second.log" 2>&1 || {
    cat "$scratch/second.log"
    exit 1
}
if ! cmp "$dist/SHA256SUMS" "$scratch/second/place/corvane/dist/SHA256SUMS"; then
    diff "$dist/SHA256SUMS" "$scratch/second/place/corvane/dist/SHA256SUMS" >&2 || true
    exit 1
fi
cat "$dist/SHA256SUMS"

step "release files passed"
