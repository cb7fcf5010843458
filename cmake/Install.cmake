# What `cmake --install` puts in place, and the .deb that `cpack -G DEB`
# makes of it: the programs, their man pages, the library with its public
# headers, and a CMake package, so that a project of its own can say
#   find_package(Fraction CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE Fraction::fraction)
include(CMakePackageConfigHelpers)

set(FRACTION_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Fraction)

install(TARGETS fraction fracfile RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS fraction_core EXPORT FractionTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/fraction/Fraction.h include/fraction/FractionRecord.h
              include/fraction/FractionFile.h ${PROJECT_BINARY_DIR}/include/fraction/Version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fraction)
install(EXPORT FractionTargets NAMESPACE Fraction:: DESTINATION ${FRACTION_CMAKE_DIR})
configure_package_config_file(cmake/FractionConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/FractionConfig.cmake
                              INSTALL_DESTINATION ${FRACTION_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/FractionConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/FractionConfig.cmake
              ${PROJECT_BINARY_DIR}/FractionConfigVersion.cmake
        DESTINATION ${FRACTION_CMAKE_DIR})
install(FILES LICENSE README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package is made only of this project built on its own, not of a
# project that builds it as a part.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(CPACK_PACKAGE_NAME fraction)
set(CPACK_PACKAGE_VENDOR "The fraction developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Bounded rational numbers with 32-bit parts: a self-testing report and a file tool")
set(CPACK_PACKAGE_DESCRIPTION
    "fraction runs a self-test of its Fraction type and, on request, reports on a binary \
fraction file: the fractions listed, sorted greatest first, their sum, average and median, \
and the sorted list written to a new file. fracfile turns text into fraction files and back. \
The package also holds the static library, its headers and a CMake package.")
set(CPACK_PACKAGE_CONTACT "The fraction developers <maintainers@users.noreply.c-seed-b94d7e5a.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
include(CPack)
