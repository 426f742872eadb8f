# The desktop entry and icon, for application menus, the login item and
# the window icon's theme lookup.
include(GNUInstallDirs)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavolune.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/tavolune.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
