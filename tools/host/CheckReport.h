// The install check's findings, printed as they are made.
#pragma once

#include <string>

#include "platform/runtime/Handles_win32.h"
#include "tools/host/Console.h"

class CheckReport {
public:
    void Ok(const std::string& utf8) { Line("ok      ", utf8); }
    void Warning(const std::string& utf8) {
        ++warnings_;
        Line("warning ", utf8);
    }
    void Error(const std::string& utf8) {
        ++errors_;
        Line("error   ", utf8);
    }
    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }

private:
    static void Line(const char* verdict, const std::string& utf8) { WriteOut(verdict + utf8 + "\n"); }
    int errors_ = 0;
    int warnings_ = 0;
};

// What the check learnt of the host's settings, for the language file's check.
struct HostLanguage {
    bool english = false;
};

// The driver as the host's loader finds it, kept loaded while the plug-in is
// checked, so the plug-in's import of it is that one; none is returned when
// it is missing, broken, does not load or lacks a function. A DLL that lacks
// one is no voice box driver: nothing more of it is asked or called.
platform::UniqueModule CheckDriver(const std::string& folder, const std::string& shown, CheckReport& report);
void CheckSettingsFile(const std::string& folder, CheckReport& report, HostLanguage& language);
void CheckLanguageFile(const std::string& folder, const HostLanguage& language, CheckReport& report);
