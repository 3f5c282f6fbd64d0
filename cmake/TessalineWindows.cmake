# The Windows build, cross-compiled on Linux with MinGW-w64 (cmake/MinGWToolchain.cmake, driven
# by scripts/build-windows.sh). Debian's JUCE takes zlib, libpng and libjpeg from the system:
# zlib comes with Debian's MinGW packages, the other two from scripts/build-mingw-libraries.sh.

set(TESSALINE_MINGW_PREFIX "/var/cache/tessaline-mingw/prefix" CACHE PATH
    "Where scripts/build-mingw-libraries.sh installed libjpeg and libpng for MinGW")

if(NOT EXISTS "${TESSALINE_MINGW_PREFIX}/include/jpeglib.h" OR NOT EXISTS "${TESSALINE_MINGW_PREFIX}/include/png.h")
    message(FATAL_ERROR "libjpeg and libpng for MinGW are missing: run scripts/build-mingw-libraries.sh")
endif()

# Every binary carries its C and C++ runtimes, so it needs only the DLLs Windows ships.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")
string(APPEND CMAKE_MODULE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++")

# Applied to the shared code target once juce_add_plugin has made it.
function(tessaline_configure_for_windows)
    target_include_directories(Tessaline PUBLIC "${TESSALINE_MINGW_PREFIX}/include")
    target_link_libraries(Tessaline PUBLIC
        "${TESSALINE_MINGW_PREFIX}/lib/libpng16.a"
        "${TESSALINE_MINGW_PREFIX}/lib/libjpeg.a"
        "${CMAKE_FIND_ROOT_PATH}/lib/libz.a")
    # JUCE's GUI module outgrows the object format's default section count.
    target_compile_options(Tessaline PUBLIC -Wa,-mbig-obj)
endfunction()
