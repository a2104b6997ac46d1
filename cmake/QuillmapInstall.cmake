# What `cmake --install` puts where, and the packages CPack makes of it.
#
# Linux (a .deb, or any prefix):
#   lib/quillmap/            quillmapgen and libquillcore.so (the program loads the library
#                            from its own folder only)
#   share/quillmap/          source_normal.htm, folder1.gif, folder2.gif (read from the
#                            program's current directory)
#   bin/quillmapgen          a launcher that starts the program in share/quillmap
#   share/applications/      quillmapgen.desktop, starting it the same way
#   share/icons/hicolor/     the icon at 16 to 256 pixels
# Windows (a .zip): everything side by side in one folder, with readme.txt.

set(quillmap_data_files
  ${PROJECT_SOURCE_DIR}/data/source_normal.htm
  ${PROJECT_SOURCE_DIR}/data/folder1.gif
  ${PROJECT_SOURCE_DIR}/data/folder2.gif)

if(WIN32)
  install(TARGETS quillmapgen RUNTIME DESTINATION .)
  # The import library is for linking against the DLL, which nothing outside does.
  install(TARGETS quillcore RUNTIME DESTINATION . ARCHIVE DESTINATION lib EXCLUDE_FROM_ALL)
  install(FILES ${quillmap_data_files} DESTINATION .)
  # Notepad before Windows 10 shows LF-only text as one line.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/readme.txt.in
                 ${PROJECT_BINARY_DIR}/packaging/readme.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/readme.txt DESTINATION .)
else()
  include(GNUInstallDirs)
  set(QUILLMAP_INSTALL_PROGRAM_DIR lib/quillmap CACHE STRING
      "Folder (under the prefix) of the program and its library")
  set(QUILLMAP_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/quillmap CACHE STRING
      "Folder (under the prefix) of the page template and the pictures")

  install(TARGETS quillmapgen RUNTIME DESTINATION ${QUILLMAP_INSTALL_PROGRAM_DIR})
  install(TARGETS quillcore LIBRARY DESTINATION ${QUILLMAP_INSTALL_PROGRAM_DIR})
  install(FILES ${quillmap_data_files} DESTINATION ${QUILLMAP_INSTALL_DATA_DIR})
  foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/frontend/icons/quillmapgen-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quillmapgen.png)
  endforeach()

  # The launcher and the desktop entry name absolute folders, so they are written when the
  # prefix is known: at install time (`cmake --install --prefix` may differ from the
  # configured one).
  install(CODE "
    set(QUILLMAP_SOURCE_DIR [[${PROJECT_SOURCE_DIR}]])
    set(QUILLMAP_SCRATCH_DIR [[${PROJECT_BINARY_DIR}/packaging]])
    set(QUILLMAP_PROGRAM_DIR [[${QUILLMAP_INSTALL_PROGRAM_DIR}]])
    set(QUILLMAP_DATA_DIR [[${QUILLMAP_INSTALL_DATA_DIR}]])
    set(QUILLMAP_BIN_DIR [[${CMAKE_INSTALL_BINDIR}]])
    set(QUILLMAP_APPLICATIONS_DIR [[${CMAKE_INSTALL_DATADIR}/applications]])
    include([[${PROJECT_SOURCE_DIR}/cmake/QuillmapInstallLaunchers.cmake]])
  ")
endif()

# -- packages --------------------------------------------------------------------------------

set(CPACK_PACKAGE_NAME quillmap)
set(CPACK_PACKAGE_VENDOR "Quillmap")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Turns a browser's exported bookmarks into a page with folders that open and close")
set(QUILLMAP_PACKAGE_CONTACT "Quillmap maintainers <maintainers@quillmap.invalid>" CACHE STRING
    "Maintainer named in the packages")
set(CPACK_PACKAGE_CONTACT ${QUILLMAP_PACKAGE_CONTACT})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillmap-${PROJECT_VERSION}-windows-x64)
  # Unpacking gives one folder holding everything.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # CPack puts the summary above this as the first line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Drop a bookmarks HTML file, as browsers export it, on Quillmap's small
always-on-top window: a folder Quillmap appears beside the file, holding
Quillmap.htm, a page that shows the bookmarks as a tree, and its two folder
pictures.")
  # dpkg-shlibdeps (dpkg-dev) names the packages of the libraries the program links: libc,
  # libstdc++ and Qt 6.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
