// Calls a function with 32-bit arguments and measures how far the stack
// pointer moved across the call: 0 when the callee removed its arguments
// (stdcall), minus their size when it left them to the caller (cdecl). x64
// has one convention, which passes the first four in registers: there it
// is 0 for every callee that keeps the convention.
#pragma once

#include <cstdint>

namespace ovtest {

// `result` receives the function's 32-bit result.
int StackDeltaOfCall(const void* function, const std::int32_t* args, int count, std::int32_t& result);

// The head of this thread's structured exception handler chain (fs:0). x64
// keeps no such chain: there, the field in the same place, which nothing uses.
const void* ExceptionChainHead();

}  // namespace ovtest
