include(GoogleTest)

# Time-out per label, in seconds.
set(TESSEL_TIMEOUT_unit 120)
set(TESSEL_TIMEOUT_integration 240)
set(TESSEL_TIMEOUT_e2e 480)
set(TESSEL_TIMEOUT_slow 900)

# tessel_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [LABEL unit|integration|e2e|slow] [PER_FILE])
# One ctest entry per test executable; each gets a private temporary folder,
# its own settings store and the offscreen Qt platform. PER_FILE registers one
# entry per source file instead (NAME.File, filtered to that file's tests), so
# one slow file cannot use up the time limit of the others.
function(tessel_add_test name)
  cmake_parse_arguments(T "PER_FILE" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  tessel_warnings(${name})
  # gtest's EXPECT macros expand to if/else: an unbraced if around one is fine.
  target_compile_options(${name} PRIVATE -Wno-dangling-else)
  target_link_libraries(${name} PRIVATE ${T_LIBS} tessel_testing GTest::gmock GTest::gtest)
  set(entries)
  if(T_PER_FILE)
    foreach(src ${T_SOURCES})
      if(NOT src MATCHES "\\.cpp$")
        continue()
      endif()
      get_filename_component(path ${src} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
      file(STRINGS ${path} lines REGEX "^TEST(_F|_P)?\\(")
      # The filter is read here: a new or renamed test must reconfigure, or
      # the entry would leave it out and still pass.
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
      set(suites)
      foreach(line ${lines})
        if(NOT line MATCHES "^TEST(_F|_P)?\\(([A-Za-z0-9_]+), *([A-Za-z0-9_]+)\\)")
          message(FATAL_ERROR "${src}: cannot read the test's name from: ${line}")
        endif()
        if(CMAKE_MATCH_1 STREQUAL "_P")
          list(APPEND suites "*/${CMAKE_MATCH_2}.${CMAKE_MATCH_3}/*")
        else()
          list(APPEND suites "${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
        endif()
      endforeach()
      if(NOT suites)
        message(FATAL_ERROR "${src}: no TEST at the start of a line, so no ctest entry would run it")
      endif()
      list(JOIN suites ":" filter)
      get_filename_component(stem ${src} NAME_WE)
      add_test(NAME ${name}.${stem} COMMAND ${name} --gtest_filter=${filter})
      list(APPEND entries ${name}.${stem})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
    set(entries ${name})
  endif()
  # Entries may run side by side: each has its own folder, settings and socket names.
  foreach(entry ${entries})
    set(tmp ${CMAKE_BINARY_DIR}/test-tmp/${entry})
    file(MAKE_DIRECTORY ${tmp})
    set_tests_properties(${entry} PROPERTIES
      LABELS ${T_LABEL}
      TIMEOUT ${TESSEL_TIMEOUT_${T_LABEL}}
      WORKING_DIRECTORY ${tmp}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TMPDIR=${tmp};XDG_STATE_HOME=${tmp}/state;TESSEL_CONFIG_DIR=${tmp}/config;TESSEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TESSEL_BIN_DIR=${TESSEL_BIN_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endforeach()
endfunction()
