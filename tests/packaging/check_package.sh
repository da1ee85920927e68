#!/usr/bin/env bash
# Installs the build into a scratch prefix, validates the desktop entry and the
# AppStream metadata, builds the Debian package, checks its contents and
# dependencies, and fails on any error or warning from lintian.
# Arguments: build directory, application id.
set -euo pipefail
build_dir="$1"
app_id="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

expected=(
    "bin/MX_config"
    "bin/mxcfg"
    "share/applications/$app_id.desktop"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    "share/metainfo/$app_id.metainfo.xml"
    "share/man/man1/MX_config.1.gz"
    "share/man/man1/mxcfg.1.gz"
    "share/doc/mx-config/copyright"
    "share/doc/mx-config/changelog.gz"
)
for size in 16 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
for file in "${expected[@]}"; do
    [ -f "$scratch/prefix/$file" ] || fail "install is missing $file"
done
for program in MX_config mxcfg; do
    [ -x "$scratch/prefix/bin/$program" ] || fail "$program is not executable"
done
module="$(cd "$scratch/prefix" && ls lib/*/mx_config/mxcfg-pdf.so)" || fail "install is missing mxcfg's PDF module"
expected+=("$module")
# The installed mxcfg finds its module from where it is installed.
printf '\0\0' >"$scratch/settings.cmx" && head -c 112 /dev/zero >"$scratch/switches.mx"
"$scratch/prefix/bin/mxcfg" sheet --pdf "$scratch" -o "$scratch/sheet.pdf" ||
    fail "the installed mxcfg cannot write a PDF"
head -c 5 "$scratch/sheet.pdf" | grep -q "%PDF-" || fail "the installed mxcfg wrote no PDF"
for size in 16 24 32 48 64 128 256; do
    actual="$(file -b "$scratch/prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png")"
    grep -q "$size x $size" <<<"$actual" || fail "the ${size}x${size} icon is $actual"
done

desktop="$scratch/prefix/share/applications/$app_id.desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$scratch/prefix/share/metainfo/$app_id.metainfo.xml"
grep -q "^Icon=$app_id\$" "$desktop" || fail "the desktop entry does not name the installed icon"
grep -q "^Exec=MX_config %f\$" "$desktop" || fail "the desktop entry does not pass a dropped folder"
grep -q "^MimeType=inode/directory;\$" "$desktop" || fail "the desktop entry does not open folders"
if grep -E -q "https?://|@" "$scratch/prefix/share/metainfo/$app_id.metainfo.xml"; then
    fail "the metadata names a URL or an address"
fi

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
grep -q "\bqt6-qpa-plugins\b" <<<"$depends" || fail "Depends lacks qt6-qpa-plugins"
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "it does not recommend qt6-wayland"

# Debian's own checker, as a distribution would run it.
hints="$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v "running with root privileges" || true)"
echo "${hints:-lintian: no hints}"
if grep -E -q "^[EW]: " <<<"$hints"; then
    fail "lintian reports errors or warnings"
fi
echo "package checks passed"
