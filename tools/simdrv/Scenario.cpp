#include "tools/simdrv/Scenario.h"

namespace simdrv {

const ScriptedEvent* ScriptPlayer::Due(std::int64_t elapsedMs) {
    const auto& events = scenario_.Events;
    if (next_ >= events.size()) return nullptr;  // played once and done
    const ScriptedEvent& event = events[next_];
    if (round_ * scenario_.RepeatMs + event.AtMs > elapsedMs) return nullptr;
    if (++next_ == events.size() && scenario_.RepeatMs > 0) {
        next_ = 0;
        ++round_;
    }
    return &event;
}

}  // namespace simdrv
