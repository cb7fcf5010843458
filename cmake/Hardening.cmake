# The hardening Debian builds its own packages with, as dpkg-buildflags
# gives it for this machine: position-independent programs, relro and
# BIND_NOW, _FORTIFY_SOURCE and the stack protector. Only the hardening is
# taken, what DEB_BUILD_MAINT_OPTIONS=hardening=+all adds over
# hardening=-all, so that the build keeps its own optimisation and debug
# information. On by default for an optimised build of this project on its
# own, made for this machine without the sanitizers, where dpkg-buildflags
# is found (package dpkg-dev): the build the Debian packages are made of.
# _FORTIFY_SOURCE needs an optimised build, and the sanitizers check what it
# would check, differently.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
set(hardening_default OFF)
if(DPKG_BUILDFLAGS
   AND PROJECT_IS_TOP_LEVEL
   AND NOT CMAKE_CROSSCOMPILING
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$"
   AND NOT (FRACTION_SANITIZE OR FRACTION_SANITIZE_THREAD OR FRACTION_FUZZ))
  set(hardening_default ON)
endif()
option(FRACTION_HARDENING "Build with Debian's hardening flags, from dpkg-buildflags"
       ${hardening_default})
if(NOT FRACTION_HARDENING)
  return()
endif()
if(NOT DPKG_BUILDFLAGS)
  message(FATAL_ERROR "FRACTION_HARDENING needs dpkg-buildflags (package dpkg-dev)")
endif()

# The flags of one kind (CPPFLAGS, CXXFLAGS, LDFLAGS) that the hardening adds.
function(fraction_hardening_flags kind result)
  foreach(setting plus minus)
    if(setting STREQUAL plus)
      set(options hardening=+all)
    else()
      set(options hardening=-all)
    endif()
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${options} ${DPKG_BUILDFLAGS} --get
              ${kind}
      OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(${setting} UNIX_COMMAND "${flags}")
  endforeach()
  if(minus)
    list(REMOVE_ITEM plus ${minus})
  endif()
  set(${result} ${plus} PARENT_SCOPE)
endfunction()

fraction_hardening_flags(CPPFLAGS hardening_preprocessor_flags)
fraction_hardening_flags(CXXFLAGS hardening_compile_flags)
fraction_hardening_flags(LDFLAGS hardening_link_flags)
set(hardening_flags ${hardening_preprocessor_flags} ${hardening_compile_flags}
                    ${hardening_link_flags})
list(JOIN hardening_flags " " hardening_flags)
message(STATUS "hardening: ${hardening_flags}")
target_compile_options(fraction_options INTERFACE ${hardening_preprocessor_flags}
                                                  ${hardening_compile_flags})
target_link_options(fraction_options INTERFACE ${hardening_link_flags})
