include(GoogleTest)

# Time-out per label, in seconds.
set(TESSEL_TIMEOUT_unit 120)
set(TESSEL_TIMEOUT_integration 240)
set(TESSEL_TIMEOUT_e2e 480)
set(TESSEL_TIMEOUT_slow 900)

# tessel_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [LABEL unit|integration|e2e|slow])
# One ctest entry per test executable; each gets a private temporary folder,
# its own settings store and the offscreen Qt platform.
function(tessel_add_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_executable(${name} ${T_SOURCES})
  tessel_warnings(${name})
  # gtest's EXPECT macros expand to if/else: an unbraced if around one is fine.
  target_compile_options(${name} PRIVATE -Wno-dangling-else)
  target_link_libraries(${name} PRIVATE ${T_LIBS} tessel_testing GTest::gmock GTest::gtest)
  set(tmp ${CMAKE_BINARY_DIR}/test-tmp/${name})
  file(MAKE_DIRECTORY ${tmp})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    LABELS ${T_LABEL}
    TIMEOUT ${TESSEL_TIMEOUT_${T_LABEL}}
    WORKING_DIRECTORY ${tmp}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TMPDIR=${tmp};XDG_STATE_HOME=${tmp}/state;TESSEL_CONFIG_DIR=${tmp}/config;TESSEL_SOURCE_DIR=${CMAKE_SOURCE_DIR};TESSEL_BIN_DIR=${TESSEL_BIN_DIR};LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
