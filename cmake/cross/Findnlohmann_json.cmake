# nlohmann-json for a cross build: the host's header-only library, copied into the
# build tree by cmake/WindowsCross.cmake.
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${TOLLWICK_CROSS_HEADERS})
endif()
set(nlohmann_json_FOUND TRUE)
