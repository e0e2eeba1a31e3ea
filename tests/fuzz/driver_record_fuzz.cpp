// libFuzzer target for the decoding of the driver's event record. A fake
// TV_GetEvent hands the adapter whatever the fuzzer supplies as the 56-byte
// record and as the poll's result, several polls per input, and the slot the
// adapter fills is checked against what it must hold after each poll.
//
// Input: 259 bytes that the slot starts with, then per poll 4 bytes of result
// and 56 bytes of record (a short tail is padded with zero).
//
// The record's two unused fields, and the rest of the room the adapter gives
// the driver after the record, are poisoned for AddressSanitizer while the
// adapter decodes, so reading them, or anything past the record, stops the run.
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "device/unitOVDrv.h"
#include "device/usbid.h"

namespace {

struct Poll {
    std::int32_t result;
    TDriverEvent record;
};

Poll g_next;
TDriverEvent* g_buffer;  // the adapter's record, as last handed to the driver
constexpr std::size_t kRoom = 4096;  // what the adapter hands the driver here

void Check(bool ok) {
    if (!ok) std::abort();
}

void Poison(TDriverEvent* record) {
    ASAN_POISON_MEMORY_REGION(record->Reserved1, sizeof record->Reserved1);
    ASAN_POISON_MEMORY_REGION(record->Reserved2, sizeof record->Reserved2);
    ASAN_POISON_MEMORY_REGION(record + 1, kRoom - sizeof *record);
}

void Unpoison(TDriverEvent* record) {
    ASAN_UNPOISON_MEMORY_REGION(record, kRoom);
}

std::size_t Take(const std::uint8_t*& data, std::size_t& size, void* out, std::size_t want) {
    const std::size_t n = size < want ? size : want;
    std::memset(out, 0, want);
    std::memcpy(out, data, n);
    data += n;
    size -= n;
    return n;
}

// What the slot must hold after a poll that stored `record` with `result`.
TDeviceEvent Expected(const TDeviceEvent& before, const Poll& poll) {
    if (poll.result <= 0) return before;
    TDeviceEvent after;
    std::memset(&after, 0, sizeof after);
    after.Code = poll.record.Code;
    for (std::size_t i = 0; i < sizeof poll.record.Text && poll.record.Text[i] != 0; ++i)
        after.Text[i] = poll.record.Text[i];
    return after;
}

void CheckSlot(const TDeviceEvent& slot, const TDeviceEvent& expected, bool stored) {
    Check(std::memcmp(&slot, &expected, sizeof slot) == 0);
    if (!stored) return;
    // Whatever the record held: a terminated text of at most 46 bytes, zero after it.
    const void* nul = std::memchr(slot.Text, 0, 47);
    Check(nul != nullptr);
    for (std::size_t i = static_cast<const char*>(nul) - slot.Text; i < sizeof slot.Text; ++i)
        Check(slot.Text[i] == 0);
}

}  // namespace

extern "C" {

std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char*) { return 1; }
std::int32_t OV_STDCALL TV_Initialize() { return 1; }
std::int32_t OV_STDCALL TV_Disable() { return 1; }

std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event) {
    // The adapter must hand the driver the same, suitably placed record each time.
    Check(g_buffer == nullptr || g_buffer == event);
    Check(reinterpret_cast<std::uintptr_t>(event) % 8 == 0);
    g_buffer = event;
    Unpoison(event);
    // A driver that stores nothing still leaves its bytes in the record.
    std::memcpy(event, &g_next.record, sizeof *event);
    Poison(event);
    return g_next.result;
}

int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The adapter reserves the record's room when the driver is first opened.
    static const bool opened = unitOVDrv::OpenDriver();
    Check(opened);
    TDeviceEvent slot;
    Take(data, size, &slot, sizeof slot);
    int polls = 0;
    while (size > 0 && polls++ < 64) {
        Take(data, size, &g_next.result, sizeof g_next.result);
        Take(data, size, &g_next.record, sizeof g_next.record);
        const TDeviceEvent expected = Expected(slot, g_next);
        const bool stored = unitOVDrv::ReadDriverEvent(slot);
        Check(stored == (g_next.result > 0));
        CheckSlot(slot, expected, stored);
    }
    if (g_buffer) Unpoison(g_buffer);
    return 0;
}

}  // extern "C"
