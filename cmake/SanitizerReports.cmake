# Sanitizer builds (QRNV_SANITIZER_REPORTS set by the native-asan/native-tsan presets): the
# test presets point the sanitizers' log_path into that folder, so a report from any process
# (a test program, or a client, stand-in or qrnv-reg it started, waited for or not) leaves a
# file there. CTest empties the folder before each run; the test sanitizer_reports runs after
# all others and fails, printing the reports, when any file is there.
set(QRNV_SANITIZER_REPORTS "" CACHE PATH "Folder the sanitizers' reports go to (sanitizer builds only)")

function(qrnv_collect_tests dir out)
  get_property(tests DIRECTORY ${dir} PROPERTY TESTS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(s IN LISTS subdirs)
    qrnv_collect_tests(${s} more)
    list(APPEND tests ${more})
  endforeach()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

function(qrnv_sanitizer_report_tests)
  if(NOT QRNV_SANITIZER_REPORTS)
    return()
  endif()
  qrnv_collect_tests(${PROJECT_SOURCE_DIR} tests)
  set(script ${PROJECT_SOURCE_DIR}/cmake/SanitizerReportsCheck.cmake)
  # CTest splits the command at blanks, quotes and all: the build's paths have none.
  file(WRITE ${CMAKE_BINARY_DIR}/CTestCustom.cmake
    "set(CTEST_CUSTOM_PRE_TEST \"${CMAKE_COMMAND} -DDIR=${QRNV_SANITIZER_REPORTS} -DMODE=clear -P ${script}\")\n")
  add_test(NAME sanitizer_reports
    COMMAND ${CMAKE_COMMAND} -DDIR=${QRNV_SANITIZER_REPORTS} -DMODE=check -P ${script})
  # Cross-folder test properties need CMake 3.28; DEPENDS names tests of any folder.
  set_tests_properties(sanitizer_reports PROPERTIES DEPENDS "${tests}")
endfunction()

# ThreadSanitizer builds: every program gets the pthread_mutex_clocklock of
# cmake/sanitizer/ClockLock.c (see there). Called before the targets are made.
option(QRNV_TSAN_CLOCKLOCK "Link the ThreadSanitizer stand-in for pthread_mutex_clocklock into every program" OFF)
macro(qrnv_tsan_clocklock)
  if(QRNV_TSAN_CLOCKLOCK)
    add_library(qrnv_tsan_clocklock STATIC ${PROJECT_SOURCE_DIR}/cmake/sanitizer/ClockLock.c)
    link_libraries(qrnv_tsan_clocklock)
  endif()
endmacro()
