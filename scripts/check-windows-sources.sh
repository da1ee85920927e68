#!/usr/bin/env bash
# Compiles, without linking, every source of the Qt parts (app/, window/, sheet/,
# document/, cli/) for Windows with MinGW-w64, against Debian's Qt headers:
# what a machine that has not built Qt for Windows (scripts/qt-windows.sh)
# can check of the editor and mxcfg. It catches POSIX calls and headers, and
# Windows-only code that does not compile; not what only Qt for Windows
# itself would refuse, nor anything at link or run time.
# Needs build/ (for the generated headers), as scripts/test.sh makes it.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=/usr/include/x86_64-linux-gnu/qt6
sources=$(git ls-files 'app/*.cpp' 'window/*.cpp' 'document/*.cpp' 'sheet/*.cpp' 'cli/*.cpp' | grep -v '_posix\.cpp$')
# Qt's headers, made for Linux, mark some declarations for DLL import twice
# over on Windows; that warning says nothing of this program.
printf '%s\n' $sources | xargs -P "$(nproc)" -I{} \
    x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-attributes \
    -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -I"$qt/QtPrintSupport" \
    -Iapp -Ibuild/app -Istorage -Imodel -Iwindow -Idocument -Isheet -Icli -DMX_VERSION='"check"' \
    -DMX_PDF_MODULE_FILE='"mxcfg-pdf.dll"' -DMX_PDF_MODULE_RELATIVE='"."' {}
echo "The Qt parts compile for Windows: $(printf '%s\n' $sources | wc -l) files."
