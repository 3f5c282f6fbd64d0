#!/usr/bin/env bash
# Installs what building, running and testing Tessaline needs on Debian 12. Run as root.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
    # toolchain
    cmake g++ make pkg-config ccache
    # clang with its sanitizer and libFuzzer runtimes, for the sanitizer and fuzzing stages
    clang libclang-rt-14-dev
    # framework and plug-in headers
    juce-modules-source dpf-source
    # JUCE's Linux back ends: X11, fonts, ALSA and JACK
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev
    libfreetype-dev libfontconfig1-dev libasound2-dev libjack-jackd2-dev
    # synthetic input for the plug-in's GUI tests
    libxtst-dev
    # the editor's faces where Helvetica and Consolas are missing: Liberation Sans (Helvetica's
    # metrics, regular and bold) and Liberation Mono (bold monospace digits)
    fonts-liberation2
    # tests and benchmarks
    libgtest-dev libbenchmark-dev
    # headless display, audio server and window tools for the end-to-end tests
    xvfb xauth x11-utils xdotool jackd2 imagemagick
    # third-party CLAP plug-ins that check the test host, and a CLAP host's plug-in scanner
    zam-plugins qtractor
    # hosts of the VST3 and LV2 builds: Ardour's Lua front end, jalv, and lilv's tools
    ardour jalv lilv-utils
    # the Debian package: CPack's dependency computation and the clean root its test installs into
    dpkg-dev file debootstrap
    # the Windows build: MinGW-w64 with zlib, Wine to run what it builds, NSIS for the installer
    g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 nsis unzip
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian ships libjpeg and libpng for Linux only: the Windows build takes them from Debian's own
# source packages, built once for MinGW into a cached folder. apt-get source needs the archive's
# source entries next to its binary ones.
debSources=/etc/apt/sources.list.d/tessaline-deb-src.sources
if [ ! -f "$debSources" ]; then
    cat > "$debSources" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    apt-get update -qq
fi
bash "$(dirname "$0")/build-mingw-libraries.sh"
