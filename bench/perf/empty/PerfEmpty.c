/* The start-up floor: a DLL with one empty export, built by the same
   toolchain with the same options as the plug-in. */
__declspec(dllexport) void PerfEmpty(void) {}
