// A scenario being played: which event is due at a moment after the box was
// enabled. A scenario with a repeat period starts again after each period.
#pragma once

#include <cstdint>
#include <utility>

#include "tools/simdrv/ScenarioFile.h"

namespace simdrv {

class ScriptPlayer {
public:
    void Load(Scenario scenario) {
        scenario_ = std::move(scenario);
        Restart();
    }
    void Clear() { Load(Scenario{}); }
    bool Loaded() const { return !scenario_.Events.empty(); }
    void Restart() {
        round_ = 0;
        next_ = 0;
    }
    // The next event due at `elapsedMs`, one per call; null when none is due.
    const ScriptedEvent* Due(std::int64_t elapsedMs);

private:
    Scenario scenario_;
    std::int64_t round_ = 0;
    std::size_t next_ = 0;
};

}  // namespace simdrv
