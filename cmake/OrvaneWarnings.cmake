# Warnings, optional warnings-as-errors and the optional sanitizer builds, applied to every orvane
# target. ORVANE_WERROR is off by default so that a packager's compiler, newer or older than ours,
# cannot break the build over a new warning; scripts/test and CI turn it on.
function(orvane_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # GCC 12 at -O3 reports -Wrestrict inside libstdc++'s own string concatenation wherever a
  # literal is prepended to a std::string (GCC bug 105651, fixed in GCC 13): the warning points
  # into the standard library, not at our code, so it is switched off for that compiler only.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(ORVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  # In the fuzzing build the libraries carry the fuzzer's coverage and the sanitizers too, so
  # that a fuzzer linking them is guided through them and catches their faults.
  if(ORVANE_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(ORVANE_SANITIZE_THREAD)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=thread)
  endif()
endfunction()

# A shared orvane library: sources from its folder, public headers from include/, an
# orvane:: alias, hidden visibility with ORVANE_API exports, and a SOVERSION. The public headers
# need C++20, so every library states it as a usage requirement its consumers inherit.
# The sources are compiled once, into the object library <name>_objects: the shared library is
# made of those objects, and the command links them in directly, so that it starts without
# loading orvane's libraries. Sources added later go to <name>_objects.
function(orvane_add_library name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name}_objects OBJECT ${_sources})
  set_target_properties(${name}_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name}_objects PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
  target_compile_features(${name}_objects PUBLIC cxx_std_20)
  target_compile_definitions(${name}_objects PRIVATE ORVANE_BUILDING)
  orvane_target_defaults(${name}_objects)

  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects>)
  string(REPLACE "orvane_" "" _short ${name})
  add_library(orvane::${_short} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_features(${name} PUBLIC cxx_std_20)
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION}
                        SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME ${_short})
  # All libraries in one folder of the build tree, as when installed, so that each finds the
  # others by the search path it is installed with ($ORIGIN). A build-tree search path that
  # differs from the installed one gets a trailing empty entry from CMake (room for editing it
  # at install), and the loader reads an empty entry as the current folder.
  set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
  if(DEFINED ORVANE_LIB_RPATH)
    set_target_properties(${name} PROPERTIES INSTALL_RPATH "${ORVANE_LIB_RPATH}"
                                             BUILD_WITH_INSTALL_RPATH ON)
  endif()
  orvane_target_defaults(${name})
endfunction()

# Third-party libraries an orvane library uses: their headers for its objects, and their
# libraries for the shared library and for the command that links the objects in.
function(orvane_use_libraries name)
  target_link_libraries(${name}_objects PRIVATE ${ARGN})
  target_link_libraries(${name} PRIVATE ${ARGN})
endfunction()
