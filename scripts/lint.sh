#!/usr/bin/env bash
# Holds the style: every C++ file as clang-format writes it (a difference
# fails), and clang-tidy's checks of .clang-tidy clean over every source the
# default build compiles.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format clang-tidy
files=$(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror $files; then
    echo "lint: run clang-format -i on the files above" >&2
    exit 1
fi
echo "lint: clang-format finds nothing to change"
# System headers only in the platform files (named *_posix.cpp and
# *_windows.cpp); tests and benchmarks may use them freely.
system_headers='#include <(unistd|fcntl|poll|sched|signal|pthread|dirent|termios|windows|io|shellapi|winioctl)\.h>|#include <sys/'
if git ls-files '*.cpp' '*.h' | grep -vE '^(tests|bench)/|_(posix|windows)\.cpp$' |
    xargs grep -nE "$system_headers"; then
    echo "lint: the files above include a system header outside a platform file" >&2
    exit 1
fi
echo "lint: system headers are in the platform files alone"
# Files are created, written, renamed and removed by storage/ alone, through
# its few calls that keep them safe; tests and benchmarks make their own.
file_calls='QSaveFile|QTemporaryFile|QLockFile|QSettings|mkpath|\.mkdir\(|removeRecursively|QFile::(remove|rename|link|copy|resize|setPermissions)|ofstream|fopen\(|std::filesystem::(create|remove|rename|copy|resize|permissions)|(^|[^A-Za-z0-9_])::(unlink|rename|mkdir|rmdir|creat)\('
if git ls-files '*.cpp' '*.h' | grep -vE '^(tests|bench|storage)/' | xargs grep -nE "$file_calls"; then
    echo "lint: the lines above make, write, rename or remove files outside storage/" >&2
    exit 1
fi
echo "lint: files are made, written, renamed and removed by storage/ alone"
[ -f build/compile_commands.json ] || scripts/build.sh default >/dev/null
# The fuzzer is built by scripts/fuzz.sh alone, outside the build.
sources=$(git ls-files '*.cpp' | grep -v '^tests/fuzz/')
run-clang-tidy -p build -quiet $sources >build/clang-tidy.log 2>&1 || {
    grep -E "(error|warning): " build/clang-tidy.log | sort -u >&2
    echo "lint: clang-tidy found the above" >&2
    exit 1
}
echo "lint: clang-tidy finds nothing"
# The Windows platform file, which the Linux build never compiles, through
# the Windows preset's compile database and MinGW-w64's C++ headers.
scripts/install-deps.sh g++-mingw-w64-x86-64-posix >/dev/null
cmake --preset windows-core >/dev/null
mingw="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
windows_sources=$(git ls-files '*_windows.cpp' | grep -E '^storage/')
if ! clang-tidy -p build-windows-core --quiet \
    --extra-arg="-isystem$mingw/include/c++" \
    --extra-arg="-isystem$mingw/include/c++/x86_64-w64-mingw32" \
    --extra-arg="-isystem$mingw/include/c++/backward" \
    $windows_sources >build-windows-core/clang-tidy.log 2>&1; then
    grep -E "(error|warning): " build-windows-core/clang-tidy.log | sort -u >&2
    echo "lint: clang-tidy found the above in the Windows files" >&2
    exit 1
fi
echo "lint: clang-tidy finds nothing in the Windows files"
