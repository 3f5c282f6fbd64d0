#!/usr/bin/env bash
# Every DLL a Windows binary imports must be one that Windows itself ships: the C and C++
# runtimes (libstdc++, libgcc, winpthread) are linked in.
#   imports.sh objdump binary...
set -euo pipefail
objdump="$1"
shift

windowsDlls="advapi32 comctl32 comdlg32 d2d1 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32 msvcrt ole32 oleaut32
             opengl32 rpcrt4 setupapi shell32 shlwapi user32 uxtheme version winhttp wininet winmm ws2_32 wsock32"

status=0
for binary in "$@"; do
    imports=$("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
    echo "$(basename "$binary"): $(echo $imports)"
    for dll in $imports; do
        if ! grep -qw "$dll" <<< "$windowsDlls"; then
            echo "  $dll.dll is not a DLL that Windows ships"
            status=1
        fi
    done
done
exit $status
