// Scope guards for drawing: each undoes one step when it goes. They hold two
// values (the context, and what to give back), so they are not owners of one
// handle (platform/runtime/Handles_win32.h has those).
#pragma once

#include <windows.h>

namespace platform {

// Selects an object into a device context for the life of this object.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace platform
