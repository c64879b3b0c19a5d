# Strict warnings for every target of the project; errors when TOLLWICK_WERROR is on (CI).
function(tollwick_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${TOLLWICK_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wconversion
      -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
      -Wimplicit-fallthrough
      $<$<BOOL:${TOLLWICK_WERROR}>:-Werror>)
  endif()
endfunction()
