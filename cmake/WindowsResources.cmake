# Resources of the Windows products (icon, version information, manifest), compiled by
# windres from the .rc sources in packaging/windows:
#   tollwick_windows_resources(<target> <rc file name in packaging/windows>)
# Does nothing in a build for another system.
if(NOT WIN32)
  function(tollwick_windows_resources target rc)
  endfunction()
  return()
endif()

enable_language(RC)
# The version numbers the resources show, from the project's version ("1.01" gives 1, 1).
# The fixed versions and the version strings say the same four numbers ("1.1.0.0"), as
# Explorer shows both side by side.
math(EXPR TOLLWICK_VERSION_MAJOR_NUMBER "${PROJECT_VERSION_MAJOR}")
string(REGEX REPLACE "^0+([0-9])" "\\1" TOLLWICK_VERSION_MINOR_NUMBER "${PROJECT_VERSION_MINOR}")
file(WRITE ${CMAKE_BINARY_DIR}/windows-resources/tollwick_version.h.new
  "#define TOLLWICK_VERSION_MAJOR ${TOLLWICK_VERSION_MAJOR_NUMBER}\n"
  "#define TOLLWICK_VERSION_MINOR ${TOLLWICK_VERSION_MINOR_NUMBER}\n"
  "#define TOLLWICK_VERSION_TEXT \"${TOLLWICK_VERSION_MAJOR_NUMBER}.${TOLLWICK_VERSION_MINOR_NUMBER}.0.0\"\n")
# Rewritten only when it changes, so that the resources are not rebuilt every configure.
file(COPY_FILE ${CMAKE_BINARY_DIR}/windows-resources/tollwick_version.h.new
  ${CMAKE_BINARY_DIR}/windows-resources/tollwick_version.h ONLY_IF_DIFFERENT)

function(tollwick_windows_resources target rc)
  set(dir ${PROJECT_SOURCE_DIR}/packaging/windows)
  target_sources(${target} PRIVATE ${dir}/${rc})
  # windres looks for included files and for the files resources name (the icon, the
  # manifest) in these folders.
  set_source_files_properties(${dir}/${rc} PROPERTIES
    INCLUDE_DIRECTORIES "${dir};${CMAKE_BINARY_DIR}/windows-resources"
    OBJECT_DEPENDS "${dir}/version_info.rc;${dir}/tollwick.exe.manifest;${dir}/tollwick.ico;${CMAKE_BINARY_DIR}/windows-resources/tollwick_version.h")
endfunction()
