# Cross-build for 64-bit Windows with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOL_PREFIX x86_64-w64-mingw32)
set(PT_TOOL_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
