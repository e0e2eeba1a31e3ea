# The same sources give the same binaries, whoever builds them and wherever:
# the debug information names source files relative to the source tree (so
# addr2line prints device/unitOVDevice.cpp:123, not the build machine's
# folders), and the linker writes no time stamp into the PE headers or the
# export table. A vendor can then rebuild a release and compare the sums.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
add_link_options(-Wl,--no-insert-timestamp)
