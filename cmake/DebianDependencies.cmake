# Run by CPack once it has staged the Debian package's files (CPACK_PRE_BUILD_SCRIPTS):
# the package depends on the libraries its programs and libraries link, and only
# recommends those that the program's modules alone link (the desktop's toolkit for the
# message boxes as windows, the sound server's client), so that it installs on a machine
# without a desktop. CPACK_TOLLWICK_MODULES names the modules' files.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(staging "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${staging}" "${staging}/*")
set(linked)
set(modules)
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${staging}/${file}")
    continue()
  endif()
  file(READ "${staging}/${file}" magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")  # not an ELF file
    continue()
  endif()
  get_filename_component(name "${file}" NAME)
  list(FIND CPACK_TOLLWICK_MODULES "${name}" module)
  if(module GREATER -1)
    list(APPEND modules "${file}")
  else()
    list(APPEND linked "${file}")
  endif()
endforeach()

# dpkg-shlibdeps wants a control file where it runs, and drops from the recommended
# packages those the package already depends on.
file(MAKE_DIRECTORY "${staging}/debian")
file(WRITE "${staging}/debian/control" "")
set(arguments -O ${linked})
if(modules)
  list(APPEND arguments -dRecommends ${modules})
endif()
execute_process(COMMAND dpkg-shlibdeps ${arguments}
  WORKING_DIRECTORY "${staging}"
  OUTPUT_VARIABLE fields
  ERROR_VARIABLE warnings
  RESULT_VARIABLE status)
file(REMOVE_RECURSE "${staging}/debian")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dpkg-shlibdeps ${arguments} failed: ${warnings}")
endif()

# Each field is added to what the package already names (Wine, for one).
foreach(field Depends Recommends)
  string(TOUPPER "${field}" upper)
  if(fields MATCHES "shlibs:${field}=([^\n]*)")
    if(CPACK_DEBIAN_PACKAGE_${upper})
      set(CPACK_DEBIAN_PACKAGE_${upper} "${CPACK_DEBIAN_PACKAGE_${upper}}, ${CMAKE_MATCH_1}")
    else()
      set(CPACK_DEBIAN_PACKAGE_${upper} "${CMAKE_MATCH_1}")
    endif()
  endif()
endforeach()
