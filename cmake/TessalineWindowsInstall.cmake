# The Windows installer (NSIS) and a plain zip of the three deliverables, made by CPack from the
# Windows build (bash scripts/package-windows.sh). The installer puts the program under Program
# Files with a Start-menu entry, and the plug-ins where Windows hosts look for them:
# Common Files\CLAP\Tessaline.clap and Common Files\VST3\Tessaline.vst3.

set(tessalineArtefacts "${PROJECT_BINARY_DIR}/targets/Tessaline_artefacts/$<CONFIG>")

install(TARGETS Tessaline_Standalone RUNTIME DESTINATION .)
install(FILES "$<TARGET_FILE:TessalineClap>" DESTINATION plugins/CLAP)
install(DIRECTORY "${tessalineArtefacts}/VST3/Tessaline.vst3" DESTINATION plugins/VST3 USE_SOURCE_PERMISSIONS)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME "Tessaline")
set(CPACK_PACKAGE_VENDOR "Quillfen")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Stereo analog-style ladder filter: standalone program, CLAP and VST3 plug-ins")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tessaline")
set(CPACK_PACKAGE_FILE_NAME "Tessaline-${PROJECT_VERSION}-windows-x64")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_EXECUTABLES "Tessaline;Tessaline")
set(CPACK_STRIP_FILES ON)

# A 64-bit installer, which a 64-bit Wine runs as it is.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_DISPLAY_NAME "Tessaline")
set(CPACK_NSIS_PACKAGE_NAME "Tessaline")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The plug-ins move from the installed tree to the folders hosts scan, and go again with the
# uninstaller.
# (CPack writes these texts into its configuration unescaped: single quotes, doubled backslashes.)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [[
  CreateDirectory '$COMMONFILES64\\CLAP'
  CreateDirectory '$COMMONFILES64\\VST3'
  CopyFiles /SILENT '$INSTDIR\\plugins\\CLAP\\Tessaline.clap' '$COMMONFILES64\\CLAP'
  CopyFiles /SILENT '$INSTDIR\\plugins\\VST3\\Tessaline.vst3' '$COMMONFILES64\\VST3'
  RMDir /r '$INSTDIR\\plugins'
]])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [[
  Delete '$COMMONFILES64\\CLAP\\Tessaline.clap'
  RMDir /r '$COMMONFILES64\\VST3\\Tessaline.vst3'
]])

include(CPack)
