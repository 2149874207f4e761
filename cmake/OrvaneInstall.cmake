include(CMakePackageConfigHelpers)
set(_orvane_libraries orvane_core orvane_layout orvane_render orvane_export orvane_swimboard
                        orvane_read)
install(TARGETS ${_orvane_libraries}
        EXPORT orvaneTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/orvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT orvaneTargets NAMESPACE orvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)
configure_package_config_file(cmake/orvaneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/orvaneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvaneConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/orvaneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)
file(RELATIVE_PATH ORVANE_PC_TO_PREFIX
     "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(cmake/orvane.pc.in ${CMAKE_CURRENT_BINARY_DIR}/orvane.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
