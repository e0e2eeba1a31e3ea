# The x64 build's 32-bit parts. The vendor's driver exists only for 32-bit
# Windows, so what loads it (the companion), the simulated driver, the
# tracing stand-in and the tests' vendor drivers are built by the 32-bit
# configure; the x64 build copies them into its own bin folder, each under
# the target name the 32-bit build gives it, so the same dependencies hold.
set(OV_WIN32_BIN "" CACHE PATH "The 32-bit build's bin folder (build/win32/bin)")
if(NOT EXISTS "${OV_WIN32_BIN}/TmA4Drv.dll")
  message(FATAL_ERROR "the x64 build needs the 32-bit build's bin folder: -DOV_WIN32_BIN=<build/win32/bin> "
    "(scripts/build-win64.sh passes it); '${OV_WIN32_BIN}' has no TmA4Drv.dll")
endif()

# ov_win32_file(target file...): `target` copies the files from the 32-bit bin.
function(ov_win32_file target)
  set(outputs)
  foreach(file ${ARGN})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${file}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OV_WIN32_BIN}/${file} ${CMAKE_BINARY_DIR}/bin/${file}
      DEPENDS ${OV_WIN32_BIN}/${file})
    list(APPEND outputs ${CMAKE_BINARY_DIR}/bin/${file})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
