# 64-bit Windows: the same sources, built so that a machine whose kernel runs
# no 32-bit x86 code can still run the Windows tests under 64-bit Wine. Not
# shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TINDREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
