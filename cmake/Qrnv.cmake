# Helpers shared by every folder of the build.

# Collects the .cpp files of DIR for this platform: Name_win32.cpp only on Windows,
# Name_posix.cpp only elsewhere, everything else always.
function(qrnv_platform_sources out dir)
  file(GLOB all CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(result)
  foreach(f IN LISTS all)
    get_filename_component(name "${f}" NAME_WE)
    if(QRNV_PLATFORM STREQUAL "win32" AND name MATCHES "_posix$")
      continue()
    endif()
    if(QRNV_PLATFORM STREQUAL "posix" AND name MATCHES "_win32$")
      continue()
    endif()
    list(APPEND result "${f}")
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Warnings and definitions for every target of the project itself.
function(qrnv_target_defaults target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE)
  endif()
endfunction()

# A program of the Windows builds that starts at wWinMain.
function(qrnv_windows_gui target)
  if(WIN32)
    target_link_options(${target} PRIVATE -municode -mwindows)
  endif()
endfunction()

# One layer of the client: a static library of the given folders' sources for this platform,
# linked to the layers below it. A layer without sources yet is an interface library.
function(qrnv_layer name)
  cmake_parse_arguments(L "" "" "DIRS;EXCLUDE;DEPS;WIN32_LIBS;POSIX_LIBS" ${ARGN})
  set(sources)
  foreach(d IN LISTS L_DIRS)
    qrnv_platform_sources(s ${d})
    list(APPEND sources ${s})
  endforeach()
  foreach(x IN LISTS L_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${x}$")
  endforeach()
  if(WIN32)
    set(libs ${L_DEPS} ${L_WIN32_LIBS})
  else()
    set(libs ${L_DEPS} ${L_POSIX_LIBS})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    qrnv_target_defaults(${name})
    target_link_libraries(${name} PUBLIC ${libs})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${libs})
  endif()
endfunction()

# Compiles text files into a target: each FILE becomes "embedded/<file name>.h" holding the
# constant qrnv::embedded::<file name as identifier>. A test program then finds its fixtures
# wherever it runs (natively or under Wine), without a path to the source tree.
function(qrnv_embed_text_files target)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/embedded_${target})
  foreach(f IN LISTS ARGN)
    get_filename_component(file_name "${f}" NAME)
    string(MAKE_C_IDENTIFIER "${file_name}" id)
    set(header ${out_dir}/embedded/${file_name}.h)
    add_custom_command(
      OUTPUT ${header}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${f} -DOUTPUT=${header} -DNAME=${id}
              -P ${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake
      DEPENDS ${f} ${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake
      COMMENT "Embedding ${file_name}"
      VERBATIM)
    target_sources(${target} PRIVATE ${header})
  endforeach()
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()
