# 32-bit Windows (the product: only a 32-bit program loads the game's security library).
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(TOLLWICK_MINGW_TRIPLE i686-w64-mingw32)
set(TOLLWICK_MINGW_PROCESSOR x86)
set(TOLLWICK_WINE_LAUNCHER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
