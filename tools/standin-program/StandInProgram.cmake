# One stand-in program (update worker or ad viewer): records its command line and exits with
# the code it is told. Included by tools/worker and tools/adviewer.
#
# qrnv_standin_program(<target> RECORD_VARIABLE <env> EXIT_CODE_VARIABLE <env>
#                      PRODUCT_VERSION <a.b.c.d> DESCRIPTION <text>)
#
# The product version goes into the program's version information:
# - Windows: a VERSIONINFO resource compiled by windres.
# - POSIX: the target property QRNV_PRODUCT_VERSION carries it for the version-section
#   stamping step. When the build has that step as the command qrnv_stamp_version_section
#   (target, version), it is called here; until then POSIX stand-ins carry no version.
set(QRNV_STANDIN_PROGRAM_DIR ${CMAKE_CURRENT_LIST_DIR})

function(qrnv_standin_program target)
  cmake_parse_arguments(S "" "RECORD_VARIABLE;EXIT_CODE_VARIABLE;PRODUCT_VERSION;DESCRIPTION" "" ${ARGN})
  add_executable(${target}
    ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
    ${QRNV_STANDIN_PROGRAM_DIR}/StandIn.cpp
    ${QRNV_STANDIN_PROGRAM_DIR}/StandInPlatform_${QRNV_PLATFORM}.cpp)
  qrnv_target_defaults(${target})
  target_include_directories(${target} PRIVATE ${QRNV_STANDIN_PROGRAM_DIR})
  target_link_libraries(${target} PRIVATE qrnv_system)
  target_compile_definitions(${target} PRIVATE
    QRNV_STANDIN_NAME="${target}"
    QRNV_STANDIN_RECORD_VARIABLE=L"${S_RECORD_VARIABLE}"
    QRNV_STANDIN_EXIT_CODE_VARIABLE=L"${S_EXIT_CODE_VARIABLE}")
  set_target_properties(${target} PROPERTIES QRNV_PRODUCT_VERSION "${S_PRODUCT_VERSION}")

  if(WIN32)
    # No console window: the client starts the worker and the viewer from its dialog.
    target_link_options(${target} PRIVATE -mwindows)
    set(QRNV_RC_NAME ${target})
    set(QRNV_RC_VERSION ${S_PRODUCT_VERSION})
    string(REPLACE "." "," QRNV_RC_VERSION_COMMAS ${S_PRODUCT_VERSION})
    set(QRNV_RC_DESCRIPTION "${S_DESCRIPTION}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${QRNV_STANDIN_PROGRAM_DIR}/VersionInfo.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
  else()
    # The version section, as a version resource would carry it on Windows.
    target_sources(${target} PRIVATE ${QRNV_STANDIN_PROGRAM_DIR}/VersionSection_posix.cpp)
    target_compile_definitions(${target} PRIVATE
      QRNV_STANDIN_PRODUCT_VERSION="${S_PRODUCT_VERSION}")
  endif()
endfunction()
