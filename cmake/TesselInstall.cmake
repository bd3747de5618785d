include(GNUInstallDirs)
# Resources go beside the program, which reads them from its own folder.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessel)
if(EXISTS ${CMAKE_SOURCE_DIR}/resources/tessel.desktop)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/tessel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()
