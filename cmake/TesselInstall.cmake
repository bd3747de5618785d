# Installed layout (FHS): executables in bin, the protocol language library in
# lib/tessel, shared resources in share/tessel, the guide in share/doc/tessel,
# the menu entry, icons and man pages where the desktop and man look for them.
# Everything under resources/ ships, so new resource files need no rule here.
install(TARGETS Tessel tessel-cli tessel-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Compiler LIBRARY DESTINATION ${TESSEL_INSTALL_LIBDIR} NAMELINK_SKIP)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${TESSEL_INSTALL_DATADIR}
        PATTERN desktop EXCLUDE
        PATTERN icons EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/tessel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/tessel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME tessel.xml)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tessel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/tessel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tessel.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/docs/user-guide.md DESTINATION ${TESSEL_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${TESSEL_INSTALL_DOCDIR})
# Man pages are installed compressed, as Debian expects.
foreach(page tessel-cli.1 tessel-sim.1 tessel.1)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/man/${page} > ${gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page} VERBATIM)
  list(APPEND TESSEL_MAN_PAGES ${gz})
endforeach()
add_custom_target(tessel_man ALL DEPENDS ${TESSEL_MAN_PAGES})
install(FILES ${TESSEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The desktop entry starts "tessel"; the program's own name stays Tessel.
install(CODE "file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  file(CREATE_LINK Tessel \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessel SYMBOLIC)")

# cpack -G DEB: a package that installs with apt on a clean Debian.
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VENDOR "KRT")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Runs and evaluates two-channel fluorescence measurements")
set(CPACK_PACKAGE_DESCRIPTION "Tessel drives a two-channel fluorescence measuring instrument over a serial
port: it compiles measuring protocols, runs them, keeps the measured data sets
in experiments, shows them in graphs, exports and prints them. tessel-cli does
the same from the command line; tessel-sim is a virtual instrument.")
set(CPACK_PACKAGE_CONTACT "Tessel maintainers <tessel@localhost>")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: the display
# platforms and the fonts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# The Python module is built for the interpreter of the build machine.
if(TARGET tessel_python)
  math(EXPR TESSEL_PY_NEXT_MINOR "${Python_VERSION_MINOR} + 1")
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), "
    "python3 (<< ${Python_VERSION_MAJOR}.${TESSEL_PY_NEXT_MINOR}), python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pandas, python3-xarray, python3-matplotlib")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The package tests strip nothing and want the build's binaries.
set(CPACK_STRIP_FILES OFF)
include(CPack)
