#!/usr/bin/env bash
# Installs the build into a scratch prefix, validates the desktop entry and the
# AppStream metadata, builds the Debian package and checks its contents and
# dependencies. Arguments: build directory, application id.
set -euo pipefail
build_dir="$1"
app_id="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

expected=(
    "bin/MX_config"
    "share/applications/$app_id.desktop"
    "share/icons/hicolor/32x32/apps/$app_id.png"
    "share/metainfo/$app_id.metainfo.xml"
)

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
for file in "${expected[@]}"; do
    [ -f "$scratch/prefix/$file" ] || fail "install is missing $file"
done
[ -x "$scratch/prefix/bin/MX_config" ] || fail "MX_config is not executable"

desktop-file-validate "$scratch/prefix/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$scratch/prefix/share/metainfo/$app_id.metainfo.xml"
grep -q "^Icon=$app_id\$" "$scratch/prefix/share/applications/$app_id.desktop" ||
    fail "the desktop entry does not name the installed icon"

(cd "$scratch" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch/deb" >/dev/null)
deb="$(ls "$scratch"/deb/*.deb)"
listing="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for file in "${expected[@]}"; do
    grep -qx "./usr/$file" <<<"$listing" || fail "package is missing /usr/$file"
done
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "\b$library (>= " <<<"$depends" || fail "Depends lacks $library"
done
echo "package checks passed"
