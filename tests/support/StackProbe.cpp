#include "tests/support/StackProbe.h"

namespace ovtest {

#if defined(__x86_64__)
int StackDeltaOfCall(const void* function, const std::int32_t* args, int count, std::int32_t& result) {
    // One convention: the first four arguments in registers, 32 bytes of
    // home space on an aligned stack that the callee leaves as it found it.
    std::int64_t slots[4] = {};
    for (int i = 0; i < count && i < 4; ++i) slots[i] = args[i];
    register const std::int64_t* argv asm("r10") = slots;
    auto callee = reinterpret_cast<std::int64_t>(function);
    std::int64_t delta;
    asm volatile(
        "movq %%rsp, %%rbx\n\t"
        "andq $-16, %%rsp\n\t"
        "subq $32, %%rsp\n\t"
        "movq %%rsp, %%r12\n\t"
        "movq (%%r10), %%rcx\n\t"
        "movq 8(%%r10), %%rdx\n\t"
        "movq 16(%%r10), %%r8\n\t"
        "movq 24(%%r10), %%r9\n\t"
        "call *%%rax\n\t"
        "movq %%rsp, %%rdx\n\t"
        "subq %%r12, %%rdx\n\t"
        "movq %%rbx, %%rsp\n\t"
        : "+a"(callee), "=d"(delta), "+r"(argv)
        :
        : "rbx", "r12", "rcx", "r8", "r9", "r11", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "memory", "cc");
    result = std::int32_t(callee);
    return int(delta);
}

const void* ExceptionChainHead() {
    const void* head;
    asm volatile("movq %%gs:0, %0" : "=r"(head));
    return head;
}
#else
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

#endif

}  // namespace ovtest
