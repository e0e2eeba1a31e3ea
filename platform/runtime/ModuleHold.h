// Keeps the module this code lives in loaded while host code runs inside one
// of its calls (a dialog's timers, a callback delivered while CloseDevice
// waits): a host that unloads the plug-in there would otherwise pull away
// the code that its call is about to return into. Elsewhere than Windows it
// does nothing.
#pragma once

namespace platform {

class ModuleHold {
public:
    ModuleHold() = default;
    // Gives the reference back: at once when `others` says someone else
    // (a running reader) holds one too, otherwise from a short-lived thread
    // of its own a moment later, once the call has returned to the host.
    ~ModuleHold();
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;

    void Take();  // once; later calls do nothing
    void OthersHoldIt() { othersHoldIt_ = true; }

private:
    void* module_ = nullptr;
    bool othersHoldIt_ = false;
};

}  // namespace platform
