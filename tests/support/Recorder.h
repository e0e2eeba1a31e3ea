// Records the plug-in's callbacks to the host. Two callback functions exist
// so a test can tell which registration a call came through; a test may add
// an action that runs inside the callback after the call is recorded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/Plugin.h"

namespace ovtest {

struct RecordedCall {
    int Callback;  // 1 or 2: which of the two functions was called
    DWORD ThreadId;
    OV_DATA Data;
    std::string Text;  // the bytes up to the NUL
    std::string Event;
};

namespace recorder {

extern const HostCallback First;
extern const HostCallback Second;

void Clear();  // forgets the calls and the action
void SetAction(std::function<void(const RecordedCall&)> action);
std::vector<RecordedCall> Calls();
std::size_t Count();
// The texts of the recorded calls, in order.
std::vector<std::string> Texts();

}  // namespace recorder
}  // namespace ovtest
