# 32-bit x86 Linux with Debian's cross compiler (g++-i686-linux-gnu). The
# programs are linked statically and run natively where the x86-64 kernel
# runs 32-bit programs; a kernel built or booted without IA-32 emulation
# refuses them, and there they run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross-common.cmake)

if(NOT DEFINED FRACTION_I686_RUNS_NATIVELY)
  set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/i686-probe)
  file(WRITE ${probe}.c "int main(void) { return 0; }\n")
  execute_process(COMMAND ${CMAKE_C_COMPILER} -static ${probe}.c -o ${probe}
                  RESULT_VARIABLE probe_built OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${probe} RESULT_VARIABLE probe_ran OUTPUT_QUIET ERROR_QUIET)
  if(probe_built EQUAL 0 AND NOT probe_ran EQUAL 0)
    set(runs_natively OFF)
  else()
    set(runs_natively ON)
  endif()
  set(FRACTION_I686_RUNS_NATIVELY ${runs_natively} CACHE BOOL
      "Whether this kernel runs 32-bit x86 programs without an emulator")
endif()
# The checks CMake compiles read this file again: they take the answer
# instead of probing once more.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES FRACTION_I686_RUNS_NATIVELY)
if(NOT FRACTION_I686_RUNS_NATIVELY)
  find_program(FRACTION_QEMU qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FRACTION_QEMU})
endif()
