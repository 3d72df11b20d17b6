# Installs the library, its backends and their public headers as a CMake package:
# find_package(moxflic) then gives moxflic::gfx, moxflic::headless and, when the Qt
# backend is built, moxflic::qt. Headers go under include/moxflic/, keeping the folders
# they include each other by ("gfx/gfx.h", "platform/types.h").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(header ${MOXFLIC_PUBLIC_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/moxflic/${folder} COMPONENT Development)
endforeach()

set(MOXFLIC_EXPORTED moxflic_gfx moxflic_platform_common moxflic_headless_backend moxflic_headless)
set(MOXFLIC_EXPORT_QT OFF)
if(TARGET moxflic_qt)
  list(APPEND MOXFLIC_EXPORTED moxflic_qt_backend moxflic_qt)
  set(MOXFLIC_EXPORT_QT ON)
endif()
foreach(target ${MOXFLIC_EXPORTED})
  string(REGEX REPLACE "^moxflic_" "" name ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/moxflic>)
endforeach()
install(TARGETS ${MOXFLIC_EXPORTED} EXPORT moxflicTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/moxflic)
install(EXPORT moxflicTargets NAMESPACE moxflic:: DESTINATION ${config_dir} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/moxflicConfig.cmake.in
  ${PROJECT_BINARY_DIR}/moxflicConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/moxflicConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/moxflicConfig.cmake ${PROJECT_BINARY_DIR}/moxflicConfigVersion.cmake
  DESTINATION ${config_dir} COMPONENT Development)
