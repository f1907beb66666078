#!/bin/sh
# Installs the Debian packages that building and testing quorvant need, and
# fetches the PAPPL source the printer application is built from
# (tools/fetch-pappl.sh).
set -eu
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    build-essential cmake pkg-config cups-ppdc \
    libcups2-dev libcupsimage2-dev zlib1g-dev libpng-dev \
    googletest libgtest-dev libgmock-dev \
    cups cups-client cups-filters ghostscript \
    clang libclang-rt-14-dev clang-format \
    libpam0g-dev libgnutls28-dev libavahi-client-dev libjpeg-dev libusb-1.0-0-dev libpoppler-cpp-dev \
    cups-ipp-utils chromium zbar-tools zxing-cpp-tools dmtx-utils \
    libzint-dev libfreetype-dev fonts-texgyre \
    "$@"
./tools/fetch-pappl.sh
