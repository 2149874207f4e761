# Fails when a shared object in FILES has an empty entry in its library search path (RPATH or
# RUNPATH): the loader reads it as the current folder, so a file there named like a library
# would be loaded in its place.
find_program(READELF readelf REQUIRED)
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${READELF} -d ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot read ${file}")
  endif()
  string(REGEX MATCH "R(UN)?PATH\\)[^[]*\\[([^]\n]*)\\]" entry "${dynamic}")
  if(NOT entry)
    continue()
  endif()
  set(path "${CMAKE_MATCH_2}")
  if(path STREQUAL "" OR path MATCHES "^:|::|:$")
    message(FATAL_ERROR "${file} searches the current folder for libraries: [${path}]")
  endif()
  message(STATUS "${file}: [${path}]")
endforeach()
