#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the MinGW-w64 cross
# compiler and zlib, 32-bit Wine, an X server for the windowed tests, image tools,
# a Korean font, clang for the sanitizer and fuzz builds, the tools the benchmarks
# compare against, rsvg-convert for the demo's chart (ImageMagick 6 on Debian reads
# no SVG by itself: rsvg-convert is the program it hands SVG to), osslsigncode for
# the programs' Authenticode signatures, and the Korean
# UTF-8 locale through which Wine makes Hangul file names. Safe to run again; quiet
# when nothing is missing.
set -euo pipefail

packages=(
    cmake make g++-mingw-w64-i686 libz-mingw-w64-dev zlib1g-dev
    wine wine32:i386 wine64 xvfb xauth x11-apps xdotool imagemagick librsvg2-bin fonts-nanum
    clang libclang-rt-14-dev python3 python3-pil unzip libarchive-tools file time iproute2
    libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev libgcrypt20-dev libzip-dev nginx-light openssl osslsigncode locales
)

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    # A mirror caught mid-sync fails an index now and then: try again, and go on with
    # the indexes that did come, which usually hold every package named here.
    for attempt in 1 2 3; do
        if $sudo apt-get update -qq; then break; fi
        echo "setup: package indexes incomplete (attempt $attempt)"
        sleep $((attempt * 10))
    done
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine maps file names through the Unix locale: without ko_KR.UTF-8 it cannot make
# a file whose name holds Hangul.
if ! locale -a 2>/dev/null | grep -qix 'ko_KR\.utf-\?8'; then
    $sudo localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
fi
