// The demo's script: what the simulated line does, at which moment after the
// box was enabled. It repeats for as long as the demo runs.
#pragma once

#include <cstdint>

namespace simdrv {

struct ScriptedEvent {
    int AtMs;  // within one round
    std::int32_t Code;
    const char* Text;  // code page 936
};

class DemoScript {
public:
    void Restart() {
        round_ = 0;
        next_ = 0;
    }
    // The next event due at `elapsedMs`, one per call; null when none is due.
    const ScriptedEvent* Due(std::int64_t elapsedMs);

private:
    std::int64_t round_ = 0;
    int next_ = 0;
};

}  // namespace simdrv
