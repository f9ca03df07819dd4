#!/usr/bin/env bash
# Installs, with apt-get, what building, testing and the test network need on Debian 12.
# Packages that are already installed are skipped; nothing is downloaded when all are there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6svg6 qt6-qpa-plugins
    libxcb-screensaver0-dev libsm-dev libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-utils xdotool imagemagick trayer openbox tcpdump iproute2 procps
    bcrelay python3 poppler-utils fonts-dejavu-core fonts-liberation2
    dpkg-dev desktop-file-utils appstream lintian man-db systemd
    dbus python3-dbus python3-gi weston qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
# Try without refreshing the package lists first; a fresh machine may need the refresh.
if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
