# The Windows installer (CPack's NSIS generator, Debian's nsis), one per word size. Everything
# sits in one program folder, as on a bench PC: the programs, the Qt runtime and its plugins,
# the INI folder; the driver KavoVessadll.dll is the vendor's, put beside the program.
#
#   quillon.exe, quillon-cli.exe, Qt6*.dll, platforms\, INI\
#   virtual-board\KavoVessadll.dll, KavoVessadll.ini   component "Virtual board, no hardware"
#
# The virtual board is copied beside the program only where no KavoVessadll.dll stands yet
# (a vendor's driver there is the real board and is never replaced); a marker file says that
# the copy is ours, so that a later installation may update it and the uninstaller removes it.
# The uninstaller leaves the operator's settings (the registry key the program keeps) alone:
# CPack's own key is another one.

install(TARGETS quillon quillon-cli RUNTIME DESTINATION . COMPONENT program)
quillon_install_qt(program)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/INI DESTINATION . COMPONENT program)
install(TARGETS KavoVessadll RUNTIME DESTINATION virtual-board COMPONENT virtualboard)
install(FILES ${PROJECT_SOURCE_DIR}/sim/scenarios/default.ini DESTINATION virtual-board
        RENAME KavoVessadll.ini COMPONENT virtualboard)

set(CPACK_GENERATOR NSIS)
# The NSIS lines below go into the script as written.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_NAME Quillon)
set(CPACK_PACKAGE_VENDOR Kavo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "programming station for EC and SPI flash through the Vessa board")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(quillon_word_size win64)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
    set(quillon_word_size win32)
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
set(CPACK_PACKAGE_FILE_NAME quillon-${PROJECT_VERSION}-${quillon_word_size})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillon)
# Not the settings key (SOFTWARE\Kavo\Vessa_Quillon): the uninstaller deletes this one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Quillon Installer ${quillon_word_size}")
set(CPACK_PACKAGE_EXECUTABLES quillon "Quillon")
set(CPACK_NSIS_DISPLAY_NAME "Quillon ${PROJECT_VERSION} (${quillon_word_size})")
set(CPACK_NSIS_PACKAGE_NAME "Quillon")
set(CPACK_NSIS_INSTALLED_ICON_NAME quillon.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
set(CPACK_COMPONENTS_ALL program virtualboard)
set(CPACK_COMPONENT_PROGRAM_DISPLAY_NAME "Quillon")
set(CPACK_COMPONENT_PROGRAM_REQUIRED ON)
set(CPACK_COMPONENT_VIRTUALBOARD_DISPLAY_NAME "Virtual board, no hardware")
set(CPACK_COMPONENT_VIRTUALBOARD_DESCRIPTION
    "A simulated Vessa board as KavoVessadll.dll, for benches without hardware. Not installed \
where a KavoVessadll.dll (a vendor's driver) stands beside the program already.")
set(CPACK_COMPONENT_VIRTUALBOARD_DISABLED ON)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  IfFileExists "$INSTDIR\virtual-board\KavoVessadll.dll" 0 quillon_board_done
  IfFileExists "$INSTDIR\KavoVessadll.dll" 0 quillon_board_copy
  IfFileExists "$INSTDIR\KavoVessadll.virtual" quillon_board_copy
  DetailPrint "KavoVessadll.dll beside the program is kept (the real board's driver)"
  Goto quillon_board_done
  quillon_board_copy:
  CopyFiles /SILENT "$INSTDIR\virtual-board\KavoVessadll.dll" "$INSTDIR"
  CopyFiles /SILENT "$INSTDIR\virtual-board\KavoVessadll.ini" "$INSTDIR"
  FileOpen $0 "$INSTDIR\KavoVessadll.virtual" w
  FileWrite $0 "KavoVessadll.dll here is the virtual board the installer put here$\r$\n"
  FileClose $0
  quillon_board_done:
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  IfFileExists "$INSTDIR\KavoVessadll.virtual" 0 +4
  Delete "$INSTDIR\KavoVessadll.dll"
  Delete "$INSTDIR\KavoVessadll.ini"
  Delete "$INSTDIR\KavoVessadll.virtual"
]=])
include(CPack)
