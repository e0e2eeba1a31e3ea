# The same sources give the same binaries, whoever builds them and wherever:
# the debug information names source files relative to the source tree (so
# addr2line prints ./device/unitOVDevice.cpp:123, not the build machine's
# folders), and the linker writes no time stamp into the PE headers or the
# export table. A vendor can then rebuild a release and compare the sums.
#
# GCC names a source as the command line does: absolutely from CMake, but
# relative to the build folder through ccache with a base folder. Both are
# mapped to the same name, and the build folder (the compile's directory) to
# "."; of several maps that match, the last one given wins. Only the debug
# information is mapped: tests find the source tree through __FILE__, and the
# product has no __FILE__ (the package test checks the shipped files).
file(RELATIVE_PATH ov_build_to_source ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
string(REGEX REPLACE "/$" "" ov_build_to_source "${ov_build_to_source}")
add_compile_options(-fdebug-prefix-map=${CMAKE_SOURCE_DIR}/=)
if(ov_build_to_source MATCHES "^[./]+$")
  add_compile_options(-fdebug-prefix-map=${ov_build_to_source}/=)
endif()
add_compile_options(-fdebug-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-Wl,--no-insert-timestamp)
