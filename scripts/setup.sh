#!/bin/sh
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: when everything is present it only checks and returns.
set -eu

PACKAGES="cmake make g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
wine wine32:i386 wine64 xvfb xauth msitools wixl \
python3-pytest python3-pyftpdlib doctest-dev \
clang libclang-rt-14-dev openssl imagemagick curl"

missing=""
for p in $PACKAGES; do
    # dpkg-query knows "name:arch" for foreign packages too.
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "setup: installing$missing"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
