# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model):
# the plug-in for x64 hosts, its tools and its tests. The vendor's driver is
# 32-bit, so what runs it (the companion, the simulated driver) comes from the
# 32-bit build: name its bin folder with -DOV_WIN32_BIN=... (build-win64.sh does).
set(OV_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# Every cross-built test runs under Wine, in a 64-bit prefix inside the build
# tree, where 32-bit programs run too.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine64-run.sh)
