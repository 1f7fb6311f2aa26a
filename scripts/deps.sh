#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; a no-op when present.
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libturbojpeg0-dev libjpeg62-turbo-dev libsimpleini-dev libmount-dev libblkid-dev
    libgtest-dev libbenchmark-dev
    fonts-dejavu-core xdg-utils
    clang libclang-rt-14-dev
    xvfb xauth openbox x11-utils python3
    weston qt6-wayland
    desktop-file-utils appstream lintian dpkg-dev file fakeroot
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
