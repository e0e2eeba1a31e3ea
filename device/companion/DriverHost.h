// The vendor's driver as Orvale8Drv32.exe runs it: loaded once, and each of
// its four functions called inside the guard, as the 32-bit plug-in calls it.
#pragma once

#include <string>

#include "device/companion/Protocol.h"

namespace companion {

// Loads TmA4Drv.dll, from the host's folder when it is there, else by the
// search path, and finds its four functions; reserves the record's room and the version
// text's page. Empty when all went well, else the reason (code page 936).
std::string LoadDriver(const std::wstring& hostFolder);

// Runs the request's driver call and says how it went. Polls come from one
// thread, the other calls from another; LoadDriver has succeeded.
Message Serve(const Message& request);

}  // namespace companion
