# Cross-compilation for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64). Programs
# run under Wine when it is installed (ctest and test discovery use it as the emulator); set
# WINEPATH to the folders of the MinGW runtime DLLs and of libvimo.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(VIMO_WINE NAMES wine64 wine)
if(VIMO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VIMO_WINE})
endif()
