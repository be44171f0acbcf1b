# 32-bit Windows: the program as it is released.
set(VARNOSKLEN_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
