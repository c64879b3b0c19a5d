# Helpers every folder uses to declare its layer library and its tests.

# tollwick_layer(<name> <below...> SOURCES <files...>): the static library of one layer,
# linked PUBLIC to the layers right below it (which bring their own lower layers).
function(tollwick_layer name)
  cmake_parse_arguments(ARG "" "" "BELOW;SOURCES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
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
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "TOLLWICK_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# tollwick_test_support(<name> <below...> SOURCES <files...>): doubles and helpers of one
# layer for the tests above it.
function(tollwick_test_support name)
  if(NOT TOLLWICK_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "BELOW;SOURCES" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_BELOW} GTest::gtest GTest::gmock)
  tollwick_warnings(${name})
endfunction()
