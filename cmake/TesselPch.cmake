# Precompiled headers for the Qt (and in the suites GoogleTest) headers. Off,
# and not used by ./test.sh: in the sanitized build the compiler spends its
# time on code and debug information rather than on headers, and a header
# (some 250 MB with -g) per target cost more than it saved on the project's
# small targets (device_command_tests from clean: 163 s of CPU with, 150 s
# without; one heavy suite file 9.6 s against 12.2 s, its header 14.7 s). A
# precompiled header also hides a missing #include.
option(TESSEL_PCH "Precompile the Qt and GoogleTest headers of the larger targets" OFF)

set(TESSEL_PCH_CORE <QString> <QStringList> <QByteArray> <QObject> <QDir> <QFile> <QFileInfo> <QTimer>
  <QJsonObject> <QJsonArray> <algorithm> <array> <cmath> <cstdint> <functional> <memory> <optional> <vector>)
set(TESSEL_PCH_WIDGETS <QWidget> <QDialog> <QLabel> <QPushButton> <QAction> <QPainter> <QApplication>)
set(TESSEL_PCH_TESTS <gtest/gtest.h> <gmock/gmock.h>)
# tessel-sim is written apart from the program and gets no header it did not
# ask for (Qt's keyword macros would meet its own names, "slots" for one).
set(TESSEL_PCH_SKIP tessel_sim_core tessel-sim)

if(TESSEL_PCH AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  # ccache only caches with a precompiled header when told the header's
  # defines and time macros are fine, and (GCC) when the header is named in
  # the preprocessed output; else every compile would be a miss.
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime ${CMAKE_CXX_COMPILER_LAUNCHER})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fpch-preprocess>)
  endif()
endif()

function(tessel_targets_below dir out)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    tessel_targets_below(${sub} more)
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Called once every target exists: a target of three or more C++ sources that
# links Qt gets a header of its own (shared ones would need identical flags).
function(tessel_precompile_headers)
  if(NOT TESSEL_PCH)
    return()
  endif()
  tessel_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$" OR t IN_LIST TESSEL_PCH_SKIP)
      continue()
    endif()
    get_target_property(sources ${t} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.cpp$")
    list(LENGTH sources n)
    get_target_property(links ${t} LINK_LIBRARIES)
    if(n LESS 3 OR NOT links OR NOT links MATCHES "Qt6::|tessel_")
      continue()
    endif()
    set(headers ${TESSEL_PCH_CORE})
    if(links MATCHES "GTest::")
      list(APPEND headers ${TESSEL_PCH_WIDGETS} ${TESSEL_PCH_TESTS})
    elseif(t MATCHES "_widgets$" OR links MATCHES "Qt6::Widgets")
      list(APPEND headers ${TESSEL_PCH_WIDGETS})
    endif()
    target_precompile_headers(${t} PRIVATE ${headers})
  endforeach()
endfunction()
