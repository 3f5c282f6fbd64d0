# The Debian package, built by CPack from the install rules (bash scripts/package.sh, or
# cpack in the build folder once the program and the plug-ins are built).
# Its dependencies come from the binaries: dpkg-shlibdeps for the libraries they link, and
# packaging/DlopenDependencies.cmake, at packaging time, for the libraries JUCE opens at run time
# (X11 and its extensions, JACK), which no link step records.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tessaline")
set(CPACK_PACKAGE_VENDOR "Quillfen")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Stereo analog-style ladder filter: standalone program, CLAP, VST3 and LV2 plug-ins")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaline is a stereo ladder filter effect with low-pass, high-pass and band-pass\nresponses, drive, makeup gain and optional 2x oversampling, as a standalone program and\nas CLAP, VST3 and LV2 plug-ins.")
set(CPACK_PACKAGE_CONTACT "Quillfen <packages@quillfen.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Headless starts use a private Xvfb; JACK is one of the two audio back ends.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xvfb, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")

set(TESSALINE_PACKAGE_BINARIES
    "$<TARGET_FILE:Tessaline_Standalone>"
    "$<TARGET_FILE:TessalineClap>"
    "$<TARGET_FILE:Tessaline_VST3>"
    "$<TARGET_FILE:Tessaline_LV2>")
file(GENERATE OUTPUT "${PROJECT_BINARY_DIR}/TessalinePackageBinaries.cmake"
     CONTENT "set(TESSALINE_PACKAGE_BINARIES \"${TESSALINE_PACKAGE_BINARIES}\")\n")
set(CPACK_TESSALINE_BINARIES_FILE "${PROJECT_BINARY_DIR}/TessalinePackageBinaries.cmake")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/packaging/DlopenDependencies.cmake")

include(CPack)
