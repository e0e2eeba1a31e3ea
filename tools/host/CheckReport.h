// The install check's findings, printed as they are made.
#pragma once

#include <windows.h>

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

// The 64-bit plug-in's companion, the 32-bit program that runs the driver.
constexpr char kCompanion[] = "Orvale8Drv32.exe";

// The host's processor (IMAGE_FILE_MACHINE_I386 or _AMD64): `program`'s when
// given, else that of the folder's programs, else the plug-in's.
WORD CheckHostProgram(const std::string& folder, const std::string& program, CheckReport& report);
// False, with an error, when Orvale8.dll is the other processor's plug-in.
bool CheckPluginMachine(const std::string& folder, WORD host, CheckReport& report);
void CheckCompanion(const std::string& folder, const std::string& pluginVersion, CheckReport& report);

// The 32-bit driver as the host's loader (a 32-bit host's) or the 64-bit
// plug-in's companion finds it; true when it is there, sound and has its
// functions. A 32-bit bench keeps it loaded in `loaded` while the plug-in is
// checked, so the plug-in's import of it is that one; a 64-bit bench reads
// it from its file. A DLL that lacks a function is no voice box driver:
// nothing more of it is asked or called.
bool CheckDriver(const std::string& folder, const std::string& shown, WORD host, CheckReport& report,
                 platform::UniqueModule& loaded);
void CheckSettingsFile(const std::string& folder, CheckReport& report, HostLanguage& language);
void CheckLanguageFile(const std::string& folder, const HostLanguage& language, CheckReport& report);
