# Cross-build for 32-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOL_PREFIX i686-w64-mingw32)
set(PT_TOOL_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
