# Helpers every folder uses to declare its layer library and its tests.

# The include folders every target of the project sees: the source root, and in a
# Windows cross build the header-only libraries staged for it.
function(tollwick_includes target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(TOLLWICK_WINDOWS_CROSS)
    target_include_directories(${target} SYSTEM PUBLIC ${TOLLWICK_CROSS_HEADERS})
  endif()
endfunction()

# tollwick_layer(<name> BELOW <layers...> SOURCES <files...>): the static library of one
# layer, linked PUBLIC to the layers right below it (which bring their own lower layers).
function(tollwick_layer name)
  cmake_parse_arguments(ARG "" "" "BELOW;SOURCES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  tollwick_includes(${name})
  target_link_libraries(${name} PUBLIC ${ARG_BELOW})
  tollwick_warnings(${name})
endfunction()

# tollwick_add_tests(<name> <sources...>): one test executable, registered with CTest.
# The caller links the layer under test (and any doubles) with target_link_libraries.
function(tollwick_add_tests name)
  if(NOT TOLLWICK_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gmock_main GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    TOLLWICK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TOLLWICK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  tollwick_warnings(${name})
  # Under Wine a test executable takes seconds to list its tests on a cold start.
  set(discovery_timeout 5)
  if(TOLLWICK_WINDOWS_CROSS)
    set(discovery_timeout 120)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT ${discovery_timeout}
    PROPERTIES ENVIRONMENT "TOLLWICK_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# tollwick_test_support(<name> BELOW <layers...> SOURCES <files...>): doubles and helpers
# of one layer for the tests above it.
function(tollwick_test_support name)
  if(NOT TOLLWICK_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "BELOW;SOURCES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  tollwick_includes(${name})
  target_link_libraries(${name} PUBLIC ${ARG_BELOW} GTest::gtest GTest::gmock)
  tollwick_warnings(${name})
endfunction()
