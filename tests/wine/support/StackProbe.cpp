#include "tests/wine/support/StackProbe.h"

namespace ovtest {

int StackDeltaOfCall(const void* function, const std::int32_t* args, int count, std::int32_t& result) {
    int delta;
    // Pushes the arguments right to left, calls, and restores the stack
    // pointer itself, so a wrong convention is measured rather than fatal.
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "testl %%ecx, %%ecx\n\t"
        "jz 2f\n\t"
        "pushl -4(%%edi,%%ecx,4)\n\t"
        "decl %%ecx\n\t"
        "jmp 1b\n\t"
        "2:\n\t"
        "call *%%ebx\n\t"
        "movl %%eax, %%edx\n\t"
        "movl %%esp, %%eax\n\t"
        "subl %%esi, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(delta), "=d"(result), "+c"(count)
        : "b"(function), "D"(args)
        : "esi", "memory", "cc");
    return delta;
}

const void* ExceptionChainHead() {
    const void* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

}  // namespace ovtest
