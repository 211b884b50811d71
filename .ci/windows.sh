#!/usr/bin/env bash
# CI for the Windows builds: installs the MinGW-w64 cross compilers and Wine
# where they are missing, cross-builds the 64-bit and 32-bit .exe files with
# warnings as errors, checks that they need no DLL beyond the system's, and
# runs the 64-bit build's tests under Wine (`make test-windows`). The 32-bit
# build is only built: Debian's 32-bit Wine would need the i386 architecture.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/common.sh
ensure_packages "Windows build" g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64

export JOBS=${JOBS:-2} WERROR=${WERROR:-ON}

step "make windows (MinGW-w64 cross builds, 64-bit and 32-bit)"
make windows

# Static linking leaves only DLLs that every Windows has.
step "the .exe files import only system DLLs"
status=0
for exe in build/win64/corvane.exe build/win64/corvane-bench.exe build/win32/corvane.exe build/win32/corvane-bench.exe; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    echo "$exe: $dlls"
    for dll in $dlls; do
        case "${dll,,}" in
            kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
            *)
                echo "  $dll is not a system DLL" >&2
                status=1
                ;;
        esac
    done
done
[ "$status" -eq 0 ]

step "make test-windows (the 64-bit build under Wine)"
make test-windows

step "Windows builds passed"
