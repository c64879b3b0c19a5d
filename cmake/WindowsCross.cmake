# What a Windows cross build (MinGW-w64, see cmake/toolchains) needs besides the
# toolchain: Debian has no MinGW builds of GoogleTest, nlohmann-json or xxHash.
#  - GoogleTest is built from Debian's sources with the cross compiler.
#  - nlohmann-json and xxHash are header-only (xxHash with XXH_INLINE_ALL). Their
#    headers are copied from the host into the build tree, so that the host's
#    /usr/include itself (with the host's C library headers) never reaches the cross
#    compiler.

set(TOLLWICK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest sources, built with the cross compiler")
set(TOLLWICK_HOST_INCLUDE /usr/include CACHE PATH
    "Where the host's header-only libraries (nlohmann-json, xxHash) are")

set(TOLLWICK_CROSS_HEADERS ${CMAKE_BINARY_DIR}/cross-headers)
foreach(header xxhash.h nlohmann)
  if(NOT EXISTS ${TOLLWICK_HOST_INCLUDE}/${header})
    message(FATAL_ERROR "${TOLLWICK_HOST_INCLUDE}/${header} is missing (scripts/setup.sh installs it)")
  endif()
  file(COPY ${TOLLWICK_HOST_INCLUDE}/${header} DESTINATION ${TOLLWICK_CROSS_HEADERS})
endforeach()

# find_package(nlohmann_json) finds cmake/cross/Findnlohmann_json.cmake first.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/cross)

if(TOLLWICK_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${TOLLWICK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The project's strict warnings do not apply to GoogleTest's own sources.
endif()
