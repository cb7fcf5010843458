# The API reference: Doxygen over the installed headers, as the target
# `docs`, built with everything else when Doxygen is found. A public name
# without its contract comment is a warning, and a warning fails the build.
# Installed as HTML under share/doc/fraction/reference/. Off by default
# inside a project that builds this one as a part, where a target named
# `docs` may well be that project's own.
option(FRACTION_DOCS "Make the API reference with Doxygen where it is found"
       ${PROJECT_IS_TOP_LEVEL})
if(FRACTION_DOCS)
  find_package(Doxygen QUIET)
endif()
if(NOT FRACTION_DOCS OR NOT DOXYGEN_FOUND)
  message(STATUS "API reference off: it needs doxygen")
  unset(FRACTION_REFERENCE_DIR CACHE)
  return()
endif()

set(DOXYGEN_PROJECT_NAME "fraction")
set(DOXYGEN_PROJECT_NUMBER ${PROJECT_VERSION})
set(DOXYGEN_PROJECT_BRIEF "Bounded rational numbers with 32-bit parts")
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/reference)
set(DOXYGEN_HTML_OUTPUT html)
set(DOXYGEN_GENERATE_HTML YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_EXTRACT_PRIVATE NO)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_IF_DOC_ERROR YES)
set(DOXYGEN_WARN_NO_PARAMDOC NO)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_QUIET YES)
set(DOXYGEN_FULL_PATH_NAMES NO)
set(DOXYGEN_SEARCHENGINE NO)
set(DOXYGEN_HTML_TIMESTAMP NO)
set(DOXYGEN_ENABLE_PREPROCESSING YES)
# The export mark means nothing to a reader of the reference; and the
# formatter is documented whether or not this machine's library has it.
set(DOXYGEN_PREDEFINED "FRACTION_EXPORT=" "__cpp_lib_format=201907L")
set(DOXYGEN_USE_MDFILE_AS_MAINPAGE ${CMAKE_CURRENT_SOURCE_DIR}/reference.md)
doxygen_add_docs(
  docs ${CMAKE_CURRENT_SOURCE_DIR}/reference.md ${PROJECT_SOURCE_DIR}/include/fraction/Fraction.h
  ${PROJECT_SOURCE_DIR}/include/fraction/FractionRecord.h
  ${PROJECT_SOURCE_DIR}/include/fraction/FractionFile.h
  ${PROJECT_BINARY_DIR}/include/fraction/Version.h ALL
  COMMENT "Making the API reference")
install(DIRECTORY ${DOXYGEN_OUTPUT_DIRECTORY}/html/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/reference COMPONENT development)
set(FRACTION_REFERENCE_DIR ${DOXYGEN_OUTPUT_DIRECTORY}/html CACHE INTERNAL
    "Where the API reference is made")
