#!/usr/bin/env bash
# Installs the Debian packages that diVE needs to build, test and run; skips what is present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev libx11-dev libfontconfig-dev qt6-translations-l10n
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-noto-cjk fonts-wqy-zenhei
    xvfb xauth xdotool x11-utils imagemagick
    socat picocom minicom lrzsz ser2net
    clang-format ccache
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
