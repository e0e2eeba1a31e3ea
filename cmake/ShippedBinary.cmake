# What every binary we ship needs in order to load on Windows XP SP3, the
# oldest system the shops' hosts run on: no import that XP's system DLLs lack
# (the posix thread model's winpthreads wants GetTickCount64; ov_xp_imports
# defines that import's pointer, and objects win over import libraries), and
# headers that name 5.1 as the system they need (5.2 for x64, XP's x64
# edition). The test system_imports_test checks both on the built files.
function(ov_shipped_binary target)
  set(minor 1)
  if(OV_X64)
    set(minor 2)
  endif()
  target_link_libraries(${target} PRIVATE ov_xp_imports)
  target_link_options(${target} PRIVATE
    -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,${minor}
    -Wl,--major-os-version,5 -Wl,--minor-os-version,${minor})
endfunction()
