# Install rules and packages: on Linux the program, a desktop entry and its
# icon in the usual places, packed as a .deb; on Windows morvane.exe alone
# (it needs no DLLs of ours), packed as a .zip.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Morvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small interactive 3-D viewer of a lit quadric surface")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS morvane RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME Morvane-${PROJECT_VERSION}-win64)
else()
  install(TARGETS morvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  configure_file(${CMAKE_CURRENT_LIST_DIR}/morvane.desktop.in
                 ${CMAKE_CURRENT_BINARY_DIR}/morvane.desktop COPYONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/morvane.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The desktop's icon is the same 32 x 32 picture as the Windows icon.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(MORVANE_ICON_XPM ${MORVANE_ROOT}/platform/icon/morvane_icon.xpm
      CACHE FILEPATH "32 x 32 XPM image the program's icons are made from")
  set(icon_png ${CMAKE_CURRENT_BINARY_DIR}/morvane.png)
  add_custom_command(OUTPUT ${icon_png}
    COMMAND Python3::Interpreter ${MORVANE_ROOT}/platform/win32/make_icon.py
            ${MORVANE_ICON_XPM} --png ${icon_png}
    DEPENDS ${MORVANE_ROOT}/platform/win32/make_icon.py ${MORVANE_ICON_XPM}
    COMMENT "Making the 32 x 32 desktop icon"
    VERBATIM)
  add_custom_target(morvane_desktop_icon ALL DEPENDS ${icon_png})
  install(FILES ${icon_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvane developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  # The libraries the program links (libX11, libGL, the C++ runtime).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libglx0 and libopengl0 dispatch to a vendor library: Mesa here.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglx-mesa0, libgl1-mesa-dri")
endif()

include(CPack)
