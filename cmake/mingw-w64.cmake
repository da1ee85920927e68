# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# threads variant, which std::thread needs). A build without Qt links its
# programs statically; one with Qt uses the runtime DLLs that Qt itself
# uses, deployed beside the programs (cmake/windows.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Qt for Windows (scripts/qt-windows.sh) lies outside the MinGW-w64 root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# Tests, and their discovery, run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
