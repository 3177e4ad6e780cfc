# Cross build for 32-bit x86 Windows with Debian's MinGW-w64 compilers.
#
# The -posix compilers are named directly: the win32 thread model lacks
# std::thread and std::mutex, and the update-alternatives choice of the
# machine must not decide which runtime the DLL is built against.
# Tests run under Wine (CMAKE_CROSSCOMPILING_EMULATOR); see
# scripts/test-windows.sh for what ctest needs around it.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TOKENWEAVE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TOKENWEAVE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOKENWEAVE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOKENWEAVE_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come from the MinGW tree only, never from
# the build machine's /usr; programs (flex, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOKENWEAVE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TOKENWEAVE_WINE wine)
if(TOKENWEAVE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOKENWEAVE_WINE})
endif()
