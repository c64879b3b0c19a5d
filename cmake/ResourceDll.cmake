# Resource-only PE libraries are built from .rc sources with the MinGW binutils:
# tollwick_resource_dll(<target> <rc file> <output dll> [PE32] [DEPENDS files...]).
# PE32 makes a 32-bit library (with a linker script, since binutils installs none for
# i386pe); the default is a 64-bit one.
find_program(TOLLWICK_WINDRES x86_64-w64-mingw32-windres)
find_program(TOLLWICK_MINGW_LD x86_64-w64-mingw32-ld)
find_program(TOLLWICK_CPP cpp)
function(tollwick_resource_dll target rc output)
  cmake_parse_arguments(ARG "PE32" "" "DEPENDS" ${ARGN})
  if(NOT TOLLWICK_WINDRES OR NOT TOLLWICK_MINGW_LD OR NOT TOLLWICK_CPP)
    message(WARNING "MinGW binutils not found: ${output} is not built")
    return()
  endif()
  get_filename_component(rc_dir ${rc} DIRECTORY)
  get_filename_component(output_dir ${output} DIRECTORY)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  set(windres_args)
  set(ld_args)
  if(ARG_PE32)
    set(windres_args -F pe-i386)
    set(ld_args -m i386pe -T ${PROJECT_SOURCE_DIR}/sample/pe32.x)
  endif()
  # Make generators create no output folders of their own: make sure it exists.
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${TOLLWICK_WINDRES} --preprocessor=${TOLLWICK_CPP} ${windres_args}
            -I ${rc_dir} -i ${rc} -o ${object}
    COMMAND ${TOLLWICK_MINGW_LD} ${ld_args} --dll --entry=0 -s -o ${output} ${object}
    DEPENDS ${rc} ${ARG_DEPENDS}
    WORKING_DIRECTORY ${rc_dir}
    COMMENT "Building resource library ${output}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
