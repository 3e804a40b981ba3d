# Cross toolchain for Windows with mingw-w64 (Debian's packages), shared by
# the two bitnesses: cmake/mingw-i686.cmake (the shipped program) and
# cmake/mingw-x86_64.cmake (the same sources for machines that run no 32-bit
# code, where only a 64-bit build can be tested under Wine). Each sets
# TINDREL_MINGW_TRIPLE and includes this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TINDREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TINDREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TINDREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TINDREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One self-contained exe: no libgcc/libstdc++/winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests built here run under Wine, with the loader the Wine harness chose
# for this machine (see scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
