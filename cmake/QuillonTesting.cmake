# The environment of a test under the sanitizer builds: with ThreadSanitizer
# every report fails the test; the suppressions name only system libraries
# built without ThreadSanitizer (programs the test starts inherit them).
function(quillon_sanitizer_test_environment out)
  set(environment)
  if(QUILLON_TSAN)
    list(APPEND environment
         "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/tsan/qt.supp:second_deadlock_stack=1:history_size=4")
  endif()
  set(${out} "${environment}" PARENT_SCOPE)
endfunction()

# quillon_add_test_folder(NAME LIBS lib...)
#   Builds every *.cpp file of the calling folder into one GoogleTest program
#   named tests_NAME and registers each of its tests with CTest.
#   With QT the program runs its tests inside a QApplication on Qt's
#   offscreen platform (tests/support/qt's main) and links Qt Widgets and
#   QtTest.
function(quillon_add_test_folder name)
  cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
  if(NOT QUILLON_TESTS)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(tests_${name} ${sources})
  if(ARG_QT)
    set_target_properties(tests_${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(tests_${name} PRIVATE ${ARG_LIBS} qt_gtest_main Qt6::Widgets Qt6::Test
                          GTest::gtest GTest::gmock Threads::Threads)
  else()
    target_link_libraries(tests_${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock
                          GTest::gtest_main Threads::Threads)
  endif()
  target_compile_definitions(tests_${name} PRIVATE
    QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUILLON_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(test_labels)
  if(ARG_QT)
    # The ThreadSanitizer run leaves these out: Qt's event queue hands
    # data between threads under Qt's own futex-based locks, which a Qt
    # built without ThreadSanitizer hides from it, so every posted event
    # would read as a race.
    set(test_labels qt)
  endif()
  quillon_sanitizer_test_environment(test_environment)
  # An empty ENVIRONMENT or LABELS value would vanish from the property
  # list and shift the names after it, so only given ones are passed.
  set(test_properties TIMEOUT 300)
  if(test_environment)
    list(APPEND test_properties ENVIRONMENT "${test_environment}")
  endif()
  if(test_labels)
    list(APPEND test_properties LABELS "${test_labels}")
  endif()
  gtest_discover_tests(tests_${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${test_properties})
endfunction()

# quillon_add_fuzzer(NAME SOURCE file LIBS lib...)
#   A libFuzzer target fuzz_NAME, built only when QUILLON_FUZZ is on. Seeds
#   live in tests/fuzz/corpus/NAME.
#   With QUILLON_TESTS on, the same source is built a second time, without a
#   fuzzing engine, into fuzz_replay_NAME (tests/fuzz/replay_main.cpp's
#   main), and the test FuzzReplay.NAME feeds it every seed once: a broken
#   invariant fails in every test build, not only when the fuzzer happens
#   upon it.
function(quillon_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE" "LIBS" ${ARGN})
  if(QUILLON_FUZZ)
    add_executable(fuzz_${name} ${ARG_SOURCE})
    target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers fuzz_${name})
  endif()
  if(QUILLON_TESTS)
    add_executable(fuzz_replay_${name} ${ARG_SOURCE} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
    target_link_libraries(fuzz_replay_${name} PRIVATE ${ARG_LIBS})
    add_test(NAME FuzzReplay.${name}
             COMMAND fuzz_replay_${name} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name}
             WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set(test_properties TIMEOUT 300)
    quillon_sanitizer_test_environment(test_environment)
    if(test_environment)
      list(APPEND test_properties ENVIRONMENT "${test_environment}")
    endif()
    set_tests_properties(FuzzReplay.${name} PROPERTIES ${test_properties})
  endif()
endfunction()

# Discovers the tests of a program that reads fake USB trees: it runs under
# umockdev's preload library, which redirects the process's view of /sys and
# its udev monitors into the test bed the test builds. A sanitizer's runtime
# has to come first in the preload list, so its path is put in front. The
# tests carry the label umockdev.
function(quillon_discover_umockdev_tests target)
  set(preload libumockdev-preload.so.0)
  set(environment)
  if(QUILLON_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(preload "${runtime}:${preload}")
  endif()
  if(QUILLON_TSAN)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libtsan.so
                    OUTPUT_VARIABLE runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(preload "${runtime}:${preload}")
    set(environment
        "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/tsan/qt.supp:second_deadlock_stack=1:history_size=4")
  endif()
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 LABELS umockdev ENVIRONMENT "LD_PRELOAD=${preload};${environment}")
endfunction()

# quillon_check_exports(TARGET header... [WITHOUT name...])
#   A test, LibraryExports.TARGET, that compares the shared library's
#   dynamic symbol table with the functions its public headers declare
#   (tests/exports/check_exports.py): each declared function exported,
#   nothing else. WITHOUT names declared functions that this build of the
#   library leaves out on purpose. The target may be defined later in the
#   build; a name that no target has fails when the build is generated.
function(quillon_check_exports target)
  cmake_parse_arguments(ARG "" "" "WITHOUT" ${ARGN})
  if(NOT QUILLON_TESTS)
    return()
  endif()
  if(NOT CMAKE_NM)
    message(FATAL_ERROR "nm (binutils) is needed for the library export tests")
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(arguments --nm ${CMAKE_NM} --library $<TARGET_FILE:${target}>)
  foreach(header ${ARG_UNPARSED_ARGUMENTS})
    list(APPEND arguments --header ${header})
  endforeach()
  foreach(name ${ARG_WITHOUT})
    list(APPEND arguments --without ${name})
  endforeach()
  add_test(NAME LibraryExports.${target}
           COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tests/exports/check_exports.py ${arguments})
  set_tests_properties(LibraryExports.${target} PROPERTIES TIMEOUT 60)
endfunction()
