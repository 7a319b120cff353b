# Cross-building the Windows programs on Debian: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The -posix compilers, because the win32-threads ones have no std::thread. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian keeps Wine's 64-bit loader off the search path.
find_program(VORN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VORN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORN_WINE})
endif()
