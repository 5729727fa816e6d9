# The -posix compilers: the plain ones lack std::thread and std::mutex.
set(CMAKE_C_COMPILER ${QRNV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QRNV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QRNV_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QRNV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static programs need no mingw DLLs in the Wine prefix or on a user's machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
