#!/usr/bin/env bash
# Renders packaging/icons/mx_config.svg into the PNG sizes that desktops look
# for in the hicolor theme. Run it again whenever the SVG changes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh librsvg2-bin
for size in 16 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" packaging/icons/mx_config.svg \
        -o "packaging/icons/mx_config_$size.png"
done
# The same sizes in one icon for the Windows programs and their installer.
scripts/install-deps.sh imagemagick
convert $(printf 'packaging/icons/mx_config_%s.png ' 16 24 32 48 64 128 256) \
    packaging/windows/mx_config.ico
