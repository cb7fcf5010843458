# Windows x86-64 with mingw-w64 (g++-mingw-w64-x86-64-posix). The programs
# are linked statically and run under Wine, in a Wine prefix of the build
# folder's own that scripts/platforms.sh makes before the tests run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
find_program(FRACTION_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
                                  ${FRACTION_WINE})
include(${CMAKE_CURRENT_LIST_DIR}/cross-common.cmake)
