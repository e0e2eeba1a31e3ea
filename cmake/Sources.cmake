# ov_sources(VAR DIR): the C++ sources of DIR for this build. Files ending in
# _win32.cpp are built only for Windows, files ending in _posix.cpp only natively.
function(ov_sources var dir)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    list(FILTER all EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER all EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${var} ${all} PARENT_SCOPE)
endfunction()
