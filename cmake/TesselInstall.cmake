# Resources go beside the program, which reads them from its own folder.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessel)
if(EXISTS ${CMAKE_SOURCE_DIR}/resources/tessel.desktop)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/tessel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/docs/user-guide.md DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessel/doc)
# The program reads its resources from its own folder, so the launcher in bin/
# is a link into that folder.
install(CODE "file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  file(CREATE_LINK ../${CMAKE_INSTALL_LIBDIR}/tessel/Tessel \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessel SYMBOLIC)
  file(CREATE_LINK ../${CMAKE_INSTALL_LIBDIR}/tessel/tessel-cli \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessel-cli SYMBOLIC)")
