# 32-bit Windows: the program that workshops install.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TINDREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
