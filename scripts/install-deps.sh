#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tessaly need.
# Runs apt-get only for what is missing, and only as root.
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libglfw3-dev libxrandr-dev libftgl-dev libfreetype-dev libgl-dev libglu1-mesa-dev
    libgl1-mesa-dri
    ocl-icd-opencl-dev opencl-headers pocl-opencl-icd
    xvfb xauth xdotool imagemagick x11-utils zenity
    fonts-sil-charis
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run this script as root, or install them with apt-get." >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
