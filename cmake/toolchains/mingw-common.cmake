# Shared part of the MinGW-w64 cross toolchains; the including file sets
# TOLLWICK_MINGW_TRIPLE, TOLLWICK_MINGW_PROCESSOR and TOLLWICK_WINE_LAUNCHER first.
#
# The -posix compilers are used: with the win32 thread model std::thread and std::mutex
# do not compile. Everything links statically, so that the executables and DLLs start
# without the compiler's run-time DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TOLLWICK_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${TOLLWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLLWICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLLWICK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOLLWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test executables run under Wine, unchanged: gtest_discover_tests and ctest prefix
# every command with this launcher. The tests get a Wine prefix of their own (never the
# prefixes the Linux registry tests make), shared by both widths when TOLLWICK_WINEPREFIX
# names one; without it, one inside the build directory. Wine's first-start installers
# of .NET and the HTML engine are switched off, and its debug chatter with them.
if(NOT TOLLWICK_WINEPREFIX)
  if(DEFINED ENV{TOLLWICK_WINEPREFIX})
    set(TOLLWICK_WINEPREFIX "$ENV{TOLLWICK_WINEPREFIX}")
  else()
    set(TOLLWICK_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  endif()
endif()
set(TOLLWICK_WINEPREFIX "${TOLLWICK_WINEPREFIX}" CACHE PATH "Wine prefix the Windows tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR
  env "WINEPREFIX=${TOLLWICK_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml="
  ${TOLLWICK_WINE_LAUNCHER})
