// The base of every form: the system's message font, translation on
// creation, centring over any window.
#pragma once

#include <windows.h>

#include "platform/forms/Components.h"

class TBaseForm : public platform::TForm {
public:
    explicit TBaseForm(platform::TComponent* owner);
    const char* ClassName() const override { return "TBaseForm"; }

    // The creation handler: the system font, then the translator.
    void FormCreate(platform::TComponent* sender);
    void ApplySystemFont();
    // Centred over the window, or over the work area when it is not one;
    // kept within a monitor's work area.
    void CenterOnWindow(HWND window);

private:
    void ReadDesign();  // frmBase.design.cpp
};

// The message font of the system's non-client metrics, shared by all forms;
// made on first use.
const platform::TFont& GetSystemFont();

namespace frmBase {
// Module shutdown: frees the shared font.
void Finalize();
}
