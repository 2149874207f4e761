# Warnings-as-errors and the optional sanitizer build, applied to every orvane target.
function(orvane_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(ORVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# A shared orvane library: sources from its folder, public headers from include/, an
# orvane:: alias, hidden visibility with ORVANE_API exports, and a SOVERSION.
function(orvane_add_library name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} SHARED ${_sources})
  string(REPLACE "orvane_" "" _short ${name})
  add_library(orvane::${_short} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_definitions(${name} PRIVATE ORVANE_BUILDING)
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION}
                        SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME ${_short})
  orvane_target_defaults(${name})
endfunction()
