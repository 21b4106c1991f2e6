# Install rules and packages. On Linux: the program, its manual page, desktop
# entry, AppStream metainfo, icons at every hicolor size and the Debian
# copyright and changelog, packed as a .deb. On Windows: morvane.exe (it needs
# no DLLs of ours) with the licence and a readme in CRLF text, packed as a
# .zip whose one folder holds the three.
if(EMSCRIPTEN)
  return()  # the web build packs its site in cmake/Web.cmake
endif()

include(GNUInstallDirs)

set(MORVANE_APP_ID org.morvane.Morvane)
set(MORVANE_CONTACT "Morvane developers <developers@morvane.org>")

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Morvane developers")
set(CPACK_PACKAGE_CONTACT ${MORVANE_CONTACT})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://morvane.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small interactive 3-D viewer of a lit quadric surface")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Text for Windows: CRLF line ends.
  configure_file(${MORVANE_ROOT}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt @ONLY
                 NEWLINE_STYLE CRLF)
  configure_file(${MORVANE_ROOT}/docs/README-windows.txt.in ${CMAKE_CURRENT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS morvane RUNTIME DESTINATION .)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME Morvane-${PROJECT_VERSION}-win64)
  # The package's own name is the folder everything unpacks into.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS morvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian's strip removes these too; the build tools' own strip keeps them.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/morvane\"
                      RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR \"strip of the installed morvane failed\")
      endif()
    endif()")

  configure_file(${CMAKE_CURRENT_LIST_DIR}/morvane.desktop.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${MORVANE_APP_ID}.desktop COPYONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${MORVANE_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${MORVANE_APP_ID}.metainfo.xml.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${MORVANE_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${MORVANE_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Every hicolor size rasterised on its own from the picture's shapes, and
  # the shapes as SVG; the Windows icon and the window's icon keep the XPM.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(icon_sizes 16 24 32 48 64 128 256)
  set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/hicolor)
  set(icon_shapes ${MORVANE_ROOT}/platform/icon/morvane_icon.shapes)
  set(icon_files ${icon_dir}/scalable/apps/${MORVANE_APP_ID}.svg)
  foreach(size ${icon_sizes})
    list(APPEND icon_files ${icon_dir}/${size}x${size}/apps/${MORVANE_APP_ID}.png)
  endforeach()
  string(REPLACE ";" "," icon_size_list "${icon_sizes}")
  add_custom_command(OUTPUT ${icon_files}
    COMMAND Python3::Interpreter ${MORVANE_ROOT}/platform/win32/make_icon.py ${icon_shapes}
            --hicolor ${icon_dir} --name ${MORVANE_APP_ID} --sizes ${icon_size_list}
    DEPENDS ${MORVANE_ROOT}/platform/win32/make_icon.py ${icon_shapes}
    COMMENT "Making the desktop icons"
    VERBATIM)

  # Debian wants the manual page and the changelog compressed, without a
  # time stamp so that the package builds the same twice.
  set(man_page ${CMAKE_CURRENT_BINARY_DIR}/morvane.1.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND gzip -9n -c ${MORVANE_ROOT}/docs/morvane.1 > ${man_page}
    DEPENDS ${MORVANE_ROOT}/docs/morvane.1
    VERBATIM)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog
                 @ONLY)
  set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9n -c ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${changelog}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
    VERBATIM)
  add_custom_target(morvane_package_files ALL DEPENDS ${icon_files} ${man_page} ${changelog})

  install(FILES ${icon_dir}/scalable/apps/${MORVANE_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size ${icon_sizes})
    install(FILES ${icon_dir}/${size}x${size}/apps/${MORVANE_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${MORVANE_ROOT}/cmake/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvane)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MORVANE_CONTACT})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CPACK_PACKAGE_HOMEPAGE_URL})
  # CPack puts the summary in front of these lines.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Morvane opens one square window and shows one built-in model: three
straight lines, each drawn as a thin tube, and the quadric surface through
them, lit by seven lights, six of them coloured. It turns slowly on its own;
drag with the mouse to turn it like a trackball, f switches fog, p the
wire-frame view. It draws with OpenGL 1.1 and needs an X display with GLX.")
  # The libraries the program links (libX11, libGL, libwayland-client, libEGL,
  # libxkbcommon, libdecor, the C++ runtime).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libglx0, libegl1 and libopengl0 dispatch to a vendor library: Mesa here;
  # libdecor draws frames only through a plugin.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "libglx-mesa0, libegl-mesa0, libgl1-mesa-dri, libdecor-0-plugin-1-cairo")
endif()

include(CPack)
