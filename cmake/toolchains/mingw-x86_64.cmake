# 64-bit Windows (proves the code width-clean).
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
set(TOLLWICK_MINGW_TRIPLE x86_64-w64-mingw32)
set(TOLLWICK_MINGW_PROCESSOR AMD64)
set(TOLLWICK_WINE_LAUNCHER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
