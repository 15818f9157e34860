# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (posix
# threads: g++-mingw-w64-x86-64-posix), for example
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DVIRS_GUI=OFF -DVIRS_WORKBOOK=OFF -DVIRS_GTEST_SOURCE=/usr/src/googletest
# The programs are linked statically (C++ run time and winpthread included), so
# a single .exe runs on Windows or under Wine without DLLs beside it. When
# Debian's wine64 is installed, CTest runs the test programs through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VIRS_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VIRS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIRS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VIRS_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VIRS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's wine64 keeps its programs in /usr/lib/wine, off PATH.
find_program(VIRS_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VIRS_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VIRS_WINE64})
endif()
