# What `cmake --install` puts in place, and the Debian packages that
# `cpack -G DEB` makes of it, by component:
#   programs     the programs, their man pages, the README and licence
#   library      the shared library, when BUILD_SHARED_LIBS=ON
#   development  the headers, the static library (or the shared library's
#                link), the CMake package, fraction.pc and the API reference
# so that a project of its own can say
#   find_package(Fraction CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE Fraction::fraction)
# or ask `pkg-config --cflags --libs fraction`.
include(CMakePackageConfigHelpers)

set(FRACTION_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Fraction)
set(FRACTION_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(FRACTION_PROGRAMS)
  install(TARGETS fraction fracfile RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)
endif()
install(
  TARGETS fraction_core
  EXPORT FractionTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library)
install(FILES include/fraction/Fraction.h include/fraction/FractionRecord.h
              include/fraction/FractionFile.h ${PROJECT_BINARY_DIR}/include/fraction/Version.h
              ${PROJECT_BINARY_DIR}/include/fraction/Export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fraction COMPONENT development)
install(EXPORT FractionTargets NAMESPACE Fraction:: DESTINATION ${FRACTION_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(cmake/FractionConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/FractionConfig.cmake
                              INSTALL_DESTINATION ${FRACTION_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/FractionConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/FractionConfig.cmake
              ${PROJECT_BINARY_DIR}/FractionConfigVersion.cmake
        DESTINATION ${FRACTION_CMAKE_DIR} COMPONENT development)

# fraction.pc names its prefix plainly, as pkg-config files do: the one the
# files go under, which `cmake --install --prefix` may change, so the file
# is made from its configured form at install time. cpack installs the
# packages' files with their prefix, /usr, into its staging folder. A tree
# installed to be moved later is found as any other, with
# PKG_CONFIG_SYSROOT_DIR or `pkg-config --define-prefix`.
get_target_property(library_type fraction_core TYPE)
if(library_type STREQUAL STATIC_LIBRARY)
  set(FRACTION_PC_DEFINES " -DFRACTION_STATIC_DEFINE")
else()
  set(FRACTION_PC_DEFINES "")
endif()
set(FRACTION_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
configure_file(cmake/fraction.pc.in ${PROJECT_BINARY_DIR}/fraction.pc.in @ONLY)
install(
  CODE "configure_file(\"${PROJECT_BINARY_DIR}/fraction.pc.in\" \"${PROJECT_BINARY_DIR}/fraction.pc\" @ONLY)"
  COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/fraction.pc DESTINATION ${FRACTION_PKGCONFIG_DIR}
        COMPONENT development)
install(FILES LICENSE README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT programs)

# The package is made only of this project built on its own, not of a
# project that builds it as a part.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
include(cmake/DebianPackages.cmake)
