# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# std::thread and std::mutex need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingwTriplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingwTriplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingwTriplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingwTriplet}-windres)
set(CMAKE_STRIP ${mingwTriplet}-strip CACHE FILEPATH "")

# Libraries and headers for Windows only from the MinGW tree (and what CMAKE_PREFIX_PATH adds);
# programs, such as JUCE's juceaide, from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingwTriplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Debian's JUCE package: its CMake files and module sources serve every target platform, and its
# juceaide runs on the build machine.
list(APPEND CMAKE_PREFIX_PATH /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
