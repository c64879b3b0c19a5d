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

# tollwick_system_code(<name> SOURCES <files...>): code that implements the platform's
# seams (the operating system's facilities, those made of format readers, the sound): an
# object library that only programs link (tollwick_link_system). Every layer reaches it
# through the seams (platform/seam.h), never by a link of its own, so that the link
# graph goes down only; as object files it is in the program whatever the order of the
# layers' libraries on its link line.
function(tollwick_system_code name)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  add_library(${name} OBJECT ${ARG_SOURCES})
  tollwick_includes(${name})
  tollwick_warnings(${name})
endfunction()

# tollwick_link_system(<program> [SOUND] [OS_ONLY]): a program's implementation of the
# seams: the operating system's facilities (tollwick_os), the facilities made of format
# readers over them (tollwick_format_facilities) and the sound: the sound server's with
# SOUND (only the program itself plays sounds), none otherwise. OS_ONLY: the operating
# system's facilities alone, for the tests of the layers below the format facilities.
function(tollwick_link_system target)
  cmake_parse_arguments(ARG "SOUND;OS_ONLY" "" "" ${ARGN})
  set(system tollwick_os)
  if(NOT ARG_OS_ONLY)
    list(APPEND system tollwick_format_facilities)
    if(ARG_SOUND)
      list(APPEND system tollwick_sound)
    else()
      list(APPEND system tollwick_sound_none)
    endif()
  endif()
  target_link_libraries(${target} PRIVATE ${system})
endfunction()

# tollwick_test_code(<target>): the target is test code (a test, its doubles and
# fixtures): the include check lets its sources use the layers' test doubles. Every
# configure lists the sources of such targets in <build>/test_code.txt for it.
function(tollwick_test_code target)
  set_target_properties(${target} PROPERTIES TOLLWICK_TEST_CODE ON)
endfunction()

# tollwick_add_tests(<name> <sources...>): one test executable, registered with CTest.
# The caller links the layer under test (and any doubles) with target_link_libraries.
function(tollwick_add_tests name)
  if(NOT TOLLWICK_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  tollwick_test_code(${name})
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
  tollwick_test_code(${name})
  tollwick_includes(${name})
  target_link_libraries(${name} PUBLIC ${ARG_BELOW} GTest::gtest GTest::gmock)
  tollwick_warnings(${name})
endfunction()

# The layer of every folder, lowest first, is the table LAYERS of scripts/check_layers.py
# (one entry a line): the include check there and the link check here share one order.
set(TOLLWICK_LAYER_TABLE ${CMAKE_CURRENT_LIST_DIR}/../scripts/check_layers.py)

# Every target defined in `dir` and the folders below it.
function(tollwick_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    tollwick_targets_below(${subdir} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# tollwick_check_layer_links(<root>): fails the configure when a target of the project
# links a library of a layer above its own, or of an equal layer apart from it. It reads
# the finished target graph, so a link counts however it was written (tollwick_layer, a
# plain target_link_libraries, link_libraries, a generator expression).
function(tollwick_check_layer_links root)
  file(STRINGS ${TOLLWICK_LAYER_TABLE} entries REGEX "^    \"[a-z0-9_/]+\": [0-9]+,$")
  set(folders "")
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "\"([^\"]+)\": ([0-9]+)" _ "${entry}")
    list(APPEND folders ${CMAKE_MATCH_1})
    set(rank_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  endforeach()
  if(NOT folders)
    message(FATAL_ERROR "No layer table in ${TOLLWICK_LAYER_TABLE}")
  endif()
  tollwick_targets_below(${root} targets)
  # The folder (of the table) each target belongs to: the longest one its folder is in.
  foreach(target IN LISTS targets)
    get_target_property(dir ${target} SOURCE_DIR)
    file(RELATIVE_PATH path ${root} ${dir})
    set(folder_${target} "")
    foreach(folder IN LISTS folders)
      string(LENGTH "${folder}" length)
      string(LENGTH "${folder_${target}}" best)
      if((path STREQUAL folder OR path MATCHES "^${folder}/") AND length GREATER best)
        set(folder_${target} ${folder})
      endif()
    endforeach()
  endforeach()
  set(problems "")
  foreach(target IN LISTS targets)
    set(from "${folder_${target}}")
    if(from STREQUAL "")
      continue()
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(items ${target} ${property})
      if(NOT items)
        continue()
      endif()
      # Every name in an item, generator expressions taken apart, that is a target.
      string(REGEX REPLACE "[$<>:,]" ";" names "${items}")
      foreach(name IN LISTS names)
        if(name STREQUAL "" OR NOT TARGET ${name})
          continue()
        endif()
        get_target_property(real ${name} ALIASED_TARGET)
        if(real)
          set(name ${real})
        endif()
        get_target_property(imported ${name} IMPORTED)
        if(imported OR NOT DEFINED folder_${name})
          continue()
        endif()
        set(to "${folder_${name}}")
        if(to STREQUAL "" OR to STREQUAL from)
          continue()
        endif()
        if(rank_${to} GREATER rank_${from})
          list(APPEND problems "${target} (${from}) links ${name} (${to}), a layer above it")
        elseif(rank_${to} EQUAL rank_${from} AND NOT from MATCHES "^${to}/"
               AND NOT to MATCHES "^${from}/")
          list(APPEND problems "${target} (${from}) links ${name} (${to}); the two are apart")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    list(REMOVE_DUPLICATES problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Links against the layers:\n  ${text}")
  endif()
endfunction()

# tollwick_write_test_code(<root>): <build>/test_code.txt, the sources (relative to the
# root) of every target marked with tollwick_test_code, and <build>/product_code.txt,
# those of every other target, one a line. A source of neither is built only for another
# system (a POSIX test in a Windows build): that system's build judges it.
function(tollwick_write_test_code root)
  tollwick_targets_below(${root} targets)
  set(test_sources "")
  set(product_sources "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    get_target_property(test ${target} TOLLWICK_TEST_CODE)
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(files ${target} SOURCES)
    foreach(file IN LISTS files)
      get_filename_component(full ${file} ABSOLUTE BASE_DIR ${dir})
      file(RELATIVE_PATH relative ${root} ${full})
      if(test)
        list(APPEND test_sources ${relative})
      else()
        list(APPEND product_sources ${relative})
      endif()
    endforeach()
  endforeach()
  foreach(kind test product)
    list(REMOVE_DUPLICATES ${kind}_sources)
    list(SORT ${kind}_sources)
    list(JOIN ${kind}_sources "\n" text)
    file(WRITE ${CMAKE_BINARY_DIR}/${kind}_code.txt "${text}\n")
  endforeach()
endfunction()

# Checked once the whole project is read, on every configure.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tollwick_check_layer_links
  ${CMAKE_SOURCE_DIR})
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tollwick_write_test_code
  ${CMAKE_SOURCE_DIR})
