# Install rules: the program, Tessaline.clap, Tessaline.vst3 and Tessaline.lv2 where Linux hosts
# look for them, with a desktop entry and an icon for the desktop's menu.
#
#   cmake --install build --prefix /usr        system-wide: /usr/bin, /usr/lib/{clap,vst3,lv2}
#   cmake --install build --prefix ~/.local    per user:    ~/.local/bin, ~/.clap, ~/.vst3, ~/.lv2
#
# Hosts look for plug-ins in fixed folders, not under an arbitrary prefix: the plug-in folders are
# chosen when installing, from the prefix given then. Under $HOME/.local they are the per-user
# folders in HOME; under any other prefix they are <prefix>/lib/{clap,vst3,lv2} (for /usr and
# /usr/local the folders hosts search).

include(GNUInstallDirs)

set(tessalineArtefacts "${PROJECT_BINARY_DIR}/targets/Tessaline_artefacts/$<CONFIG>")

# The plug-in folders relative to the prefix, decided when installing (install rules prepend the
# prefix, and DESTDIR for packages, to relative destinations only).
install(CODE [[
    get_filename_component(tessalinePrefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
    if(DEFINED ENV{HOME} AND tessalinePrefix STREQUAL "$ENV{HOME}/.local")
        set(TESSALINE_CLAP_DIR "../.clap")
        set(TESSALINE_VST3_DIR "../.vst3")
        set(TESSALINE_LV2_DIR "../.lv2")
    else()
        set(TESSALINE_CLAP_DIR "lib/clap")
        set(TESSALINE_VST3_DIR "lib/vst3")
        set(TESSALINE_LV2_DIR "lib/lv2")
    endif()
]])

install(PROGRAMS "$<TARGET_FILE:Tessaline_Standalone>" DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "$<TARGET_FILE:TessalineClap>"
        DESTINATION "\${TESSALINE_CLAP_DIR}")
install(DIRECTORY "${tessalineArtefacts}/VST3/Tessaline.vst3"
        DESTINATION "\${TESSALINE_VST3_DIR}")
install(DIRECTORY "${tessalineArtefacts}/LV2/Tessaline.lv2"
        DESTINATION "\${TESSALINE_LV2_DIR}")

install(FILES "${PROJECT_SOURCE_DIR}/packaging/com.quillfen.Tessaline.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/com.quillfen.Tessaline.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

include("${PROJECT_SOURCE_DIR}/packaging/TessalinePackage.cmake")
