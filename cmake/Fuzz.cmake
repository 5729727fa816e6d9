# The fuzz build: everything compiled with AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer's coverage hooks, so that the client's own parsers (and the XML library, built
# from its source here) guide the fuzzer. The fuzz targets add libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang: use the fuzz preset")
endif()
set(QRNV_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all)
add_compile_options(${QRNV_SANITIZERS} -fsanitize=fuzzer-no-link -fno-omit-frame-pointer)
add_link_options(${QRNV_SANITIZERS})
