#include "tools/simdrv/Scenario.h"

namespace simdrv {
namespace {

// Code 30 carries a caller number sent before the first ring, code 32 one
// sent between rings, code 31 the line going quiet again (not relayed).
const ScriptedEvent kDemoRound[] = {
    {400, 30, "13800138000"},
    {1400, 31, "13800138000"},
    {1800, 32, "01062345678"},
    {2600, 31, "01062345678"},
    {3000, 30, "未知号码"},
    {3600, 31, ""},
};
constexpr int kRoundEvents = sizeof kDemoRound / sizeof kDemoRound[0];
constexpr int kRoundMs = 4000;

}  // namespace

const ScriptedEvent* DemoScript::Due(std::int64_t elapsedMs) {
    const ScriptedEvent& event = kDemoRound[next_];
    if (round_ * kRoundMs + event.AtMs > elapsedMs) return nullptr;
    if (++next_ == kRoundEvents) {
        next_ = 0;
        ++round_;
    }
    return &event;
}

}  // namespace simdrv
