# cmake --install: the library, its public headers under include/vantel/, a
# CMake package (find_package(Vantel) gives Vantel::vantel), a pkg-config
# file, and the vantel command.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(vantel PROPERTIES EXPORT_NAME vantel)
install(TARGETS vantel EXPORT VantelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vantel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VANTEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantel)
install(EXPORT VantelTargets NAMESPACE Vantel:: DESTINATION ${VANTEL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VantelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VantelConfig.cmake INSTALL_DESTINATION ${VANTEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantelConfig.cmake ${PROJECT_BINARY_DIR}/VantelConfigVersion.cmake
  DESTINATION ${VANTEL_CMAKE_DIR})

# The prefix is found from the .pc file's own place, so the package can be
# installed anywhere (cmake --install --prefix).
file(RELATIVE_PATH VANTEL_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
# The library is static, so a program that links it links ICU too.
set(VANTEL_PC_ICU_LIBS "")
if(VANTEL_WITH_ICU)
  set(VANTEL_PC_ICU_LIBS "-licui18n -licuuc -licudata ")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/vantel.pc.in ${PROJECT_BINARY_DIR}/vantel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vantel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET vantel_cli)
  install(TARGETS vantel_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
