# Big-endian 64-bit Linux (IBM Z) with Debian's cross compiler
# (g++-s390x-linux-gnu). The programs are linked statically and run under
# qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/s390x-linux-gnu)
find_program(FRACTION_QEMU qemu-s390x REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${FRACTION_QEMU})
include(${CMAKE_CURRENT_LIST_DIR}/cross-common.cmake)
