# 64-bit Windows: the program's twin, for testing where 32-bit Wine cannot run.
set(VARNOSKLEN_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
