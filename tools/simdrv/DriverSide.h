// The driver's half of a call: what it tells the box (the calling thread,
// its entry time, what it saw of the version text) and what it does with
// the answer, in the calling thread and process.
#pragma once

#include <string>

#include "tools/simdrv/BoxWire.h"

namespace simdrv {

// The log entry of a call to `function` starting now in this thread.
LogEntry CallHere(Function function);
// Reads the version text without trusting it: never past its NUL, past 256
// bytes or past the readable memory it starts in.
void ReadVersionText(const char* text, LogEntry& call);
// The box's answer: from the box in this process, or from the one at the
// pipe named by kBoxPipeVariable when the driver found it at its first call.
BoxAnswer Ask(const LogEntry& call);
// Does what the box decided; returns the call's result.
std::int32_t Carry(const BoxAnswer& answer, TDriverEvent* record);

// The pipe's side (BoxLink.cpp): the answer from the box at `pipe`, over
// this thread's own connection, so a poll waiting there holds no other call.
BoxAnswer AskOverPipe(const std::string& pipe, const LogEntry& call);

}  // namespace simdrv
