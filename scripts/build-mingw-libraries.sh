#!/usr/bin/env bash
# Builds the two image libraries that Debian's JUCE takes from the system (libjpeg and libpng)
# for MinGW-w64, from Debian's own source packages, once, into a cached prefix. Debian ships
# zlib for MinGW but neither of these. Safe to run again: a finished prefix is left as it is.
#
#   scripts/build-mingw-libraries.sh [prefix]     (default /var/cache/tessaline-mingw)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cache="${1:-${TESSALINE_MINGW_PREFIX:-/var/cache/tessaline-mingw}}"
prefix="$cache/prefix"
toolchain="$root/cmake/MinGWToolchain.cmake"

if [ -f "$prefix/.complete" ]; then
    exit 0
fi

work="$cache/work"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"

echo "Building libjpeg and libpng for Windows into $prefix (once)"
apt-get source -qq libjpeg-turbo libpng1.6 > apt-source.log 2>&1 || { cat apt-source.log; exit 1; }

build_library()
{
    local source="$1"
    shift
    cmake -S "$source" -B "$source/build-mingw" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" "$@" > "$source.configure.log" 2>&1 \
        || { cat "$source.configure.log"; exit 1; }
    cmake --build "$source/build-mingw" --parallel "$(nproc)" > "$source.build.log" 2>&1 \
        || { tail -40 "$source.build.log"; exit 1; }
    cmake --install "$source/build-mingw" > /dev/null
}

# libjpeg-turbo: the static library only, without the SIMD code (it needs nasm).
build_library libjpeg-turbo-*/ -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=0 -DWITH_TURBOJPEG=0

# JUCE includes jpeglib.h inside a namespace of its own and uses "boolean" from there. The
# Windows jconfig.h declares it only if Windows' rpcndr.h has not declared it globally first,
# which it has by then: declare it in any case (the same type, so the two never conflict).
sed -i 's|^#ifndef __RPCNDR_H__.*|#if 1 /* boolean declared in any scope that includes this */|' "$prefix/include/jconfig.h"
# JUCE defines JPEG_INTERNALS, which wants the library's internal header too.
cp libjpeg-turbo-*/jpegint.h "$prefix/include/"

# libpng against MinGW's zlib, static only.
build_library libpng1.6-*/ -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include

rm -rf "$work"
touch "$prefix/.complete"
