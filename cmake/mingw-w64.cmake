# What both cross builds with Debian's mingw-w64 (posix thread model) share;
# the toolchain file that includes this names the processor first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OV_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${OV_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_DLLTOOL ${OV_MINGW_PROCESSOR}-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${OV_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
