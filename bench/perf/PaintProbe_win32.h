// Finds the next top-level window this thread creates (a dialog shown by a
// call the probe does not control), notes when its first WM_PAINT has been
// handled, and closes it with WM_CLOSE right after. A CBT hook sees the
// window created and activated; at activation, when its owner has set its
// window procedure, the probe wraps that procedure.
#pragma once

#include <windows.h>

#include <cstdint>

namespace perf {

class FirstPaintProbe {
public:
    FirstPaintProbe();  // installs the hook on this thread; one probe at a time
    ~FirstPaintProbe();
    FirstPaintProbe(const FirstPaintProbe&) = delete;
    FirstPaintProbe& operator=(const FirstPaintProbe&) = delete;

    bool Installed() const { return hook_ != nullptr; }
    // Forgets the last window; the next top-level window created is watched.
    void Arm();
    // When the first WM_PAINT of the watched window returned; 0 if it did not.
    std::int64_t PaintedAt() const;

private:
    HHOOK hook_;
};

}  // namespace perf
