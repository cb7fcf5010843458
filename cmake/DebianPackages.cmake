# `cpack -G DEB` makes Debian packages of the install components:
#   fraction         the programs and their man pages (shared build)
#   fraction-static  the same, linked with the static library (static
#                    build)
#   libfraction2     the shared library (only when BUILD_SHARED_LIBS=ON)
#   libfraction-dev  headers, the shared library's link, CMake and
#                    pkg-config files, the API reference (shared build)
#   libfraction-static-dev  the same with the static library instead
#                    (static build)
# each with a machine-readable copyright file and the Debian changelog
# (packaging/debian/), its man pages gzipped and its binaries stripped.
get_target_property(library_type fraction_core TYPE)
set(CPACK_COMPONENTS_ALL programs development)
if(library_type STREQUAL SHARED_LIBRARY)
  list(APPEND CPACK_COMPONENTS_ALL library)
  set(CPACK_COMPONENT_PROGRAMS_DEPENDS library)
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
endif()

set(CPACK_PACKAGE_NAME fraction)
set(CPACK_PACKAGE_VENDOR "The fraction developers")
set(CPACK_PACKAGE_CONTACT
    "The fraction developers <maintainers@users.noreply.c-seed-b94d7e5a.example>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not a native Debian package: the packaging has its own revision, and its
# changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs' own shared library is in this very set of packages, which
# says so by the component dependency above.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/library)

# The programs, too, differ between the builds: a shared build's depend on
# libfraction2, a static build's hold the library. As Debian names a
# program's statically linked build (busybox-static, zsh-static), the static
# build's package is fraction-static, which takes fraction's place and
# provides it.
set(shared_programs fraction)
set(static_programs fraction-static)
set(package_version ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
if(library_type STREQUAL SHARED_LIBRARY)
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME ${shared_programs})
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONFLICTS ${static_programs})
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_REPLACES ${static_programs})
else()
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME ${static_programs})
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONFLICTS ${shared_programs})
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_REPLACES ${shared_programs})
  set(CPACK_DEBIAN_PROGRAMS_PACKAGE_PROVIDES "${shared_programs} (= ${package_version})")
endif()
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "self-testing report on binary files of fractions
fraction runs a self-test of its Fraction type and, on request, reports on
a binary fraction file: the fractions listed, sorted greatest first, their
sum, average and median, and the sorted list written to a new file.
fracfile turns text into fraction files and back.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libfraction${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# The shlibs file, made for whichever package holds a shared library, tells
# packages built against it to depend on this version or a later one.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
    "bounded rational numbers with 32-bit parts (shared library)
The fraction library's value type holds a rational number as two signed
32-bit parts and a validity flag. Its arithmetic never fails loudly: a
zero denominator, a division by zero or a result outside 32 bits marks
the result invalid. It reads and writes the binary fraction file format.
.
This package holds the shared library.")

# Both builds install the same headers, CMake package and fraction.pc, but
# one links the shared library and the other the static one: two packages
# of one name and version that differ would let apt take either for the
# other. The shared build's is libfraction-dev, as Debian names the
# development package of libfraction2; a static build's, which depends on
# no library package, is libfraction-static-dev. Each takes the other's
# place (Conflicts and Replaces), and the static one provides
# libfraction-dev, so that what builds against that finds either.
set(shared_development libfraction-dev)
set(static_development libfraction-static-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
if(library_type STREQUAL SHARED_LIBRARY)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${shared_development})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_CONFLICTS ${static_development})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_REPLACES ${static_development})
  set(library_to_link "the link to the shared library")
else()
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${static_development})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_CONFLICTS ${shared_development})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_REPLACES ${shared_development})
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_PROVIDES "${shared_development} (= ${package_version})")
  set(library_to_link "the static library")
endif()
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "bounded rational numbers with 32-bit parts (development files)
The fraction library's value type holds a rational number as two signed
32-bit parts and a validity flag. Its arithmetic never fails loudly: a
zero denominator, a division by zero or a result outside 32 bits marks
the result invalid. It reads and writes the binary fraction file format.
.
This package holds the C++ headers, ${library_to_link}, the CMake
package, the pkg-config file and the API reference.")

# Run on the staged files of each package before it is made.
set(FRACTION_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
configure_file(cmake/DebianStaging.cmake.in ${PROJECT_BINARY_DIR}/DebianStaging.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/DebianStaging.cmake)
include(CPack)
