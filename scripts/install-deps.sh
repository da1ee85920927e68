#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing MX_config need,
# and only those that are missing. Extra package names may be passed as
# arguments (the helper scripts use this for their own tools).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins qt6-wayland fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    desktop-file-utils appstream dpkg-dev file lintian
    xvfb weston poppler-utils
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
