# cmake -DDIR=<folder> -DMODE=clear|check -P SanitizerReportsCheck.cmake
# clear: empties the reports folder before a test run. check: fails when a sanitizer left a
# report in it during the run, and prints every report.
if(MODE STREQUAL "clear")
  file(REMOVE_RECURSE "${DIR}")
  file(MAKE_DIRECTORY "${DIR}")
  return()
endif()
file(GLOB reports "${DIR}/*")
if(NOT reports)
  message(STATUS "No sanitizer reports in ${DIR}")
  return()
endif()
foreach(r IN LISTS reports)
  file(READ "${r}" text)
  message("==== ${r}\n${text}")
endforeach()
list(LENGTH reports n)
message(FATAL_ERROR "${n} sanitizer report(s) in ${DIR}")
