// Scenario files for the simulated box: what the line does and when, as text
// a support engineer can write or take from a field trace. Two forms are read:
//
//  - a scenario: one event a line, "SECONDS CODE [TEXT]", the time counted
//    from the moment the box is enabled (TV_Initialize); "repeat SECONDS"
//    plays the whole script again after that long; '#' or ';' starts a
//    comment line. The text is code page 936 bytes up to the line's end, or
//    a quoted "..." with \", \\ and \xNN escapes; at most 46 bytes.
//  - a log of the tracing driver: every poll that returned an event is
//    played again with its recorded record and result, at its time after
//    the log's first TV_Initialize.
//
// The file may be saved as ANSI (code page 936), UTF-8 with or without a
// byte-order mark, or UTF-16 with its mark (ScenarioText.h). Times and
// repeats are at most kLongestTimeMs; a log's times, like a scenario's, go
// forward.
//
// The reader is portable and takes the file's bytes: any bytes at all, so a
// hostile file is only ever a list of problems.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/usbid.h"
#include "tools/simdrv/ScenarioText.h"

namespace simdrv {

struct ScriptedEvent {
    std::int64_t AtMs = 0;      // from the box being enabled
    std::int32_t Result = 1;    // what the poll returns
    TDriverEvent Record{};      // what the poll stores
};

struct ScenarioProblem {
    int Line = 0;  // counted from 1
    std::string Message;
};

struct Scenario {
    std::vector<ScriptedEvent> Events;  // in the order they are played
    std::int64_t RepeatMs = 0;          // 0: played once
    bool FromTrace = false;
    std::vector<ScenarioProblem> Problems;  // at most kMaxProblems
    int ProblemCount = 0;                   // all of them
    TextEncoding Encoding = TextEncoding::Cp936;
};

constexpr std::size_t kMaxScenarioEvents = 100000;
constexpr std::size_t kMaxProblems = 100;
constexpr std::size_t kLongestProblemMessage = 160;
// A week: the longest a time, a repeat or a log's event after its start may
// be. A player's millisecond counts then fit 32 bits, and so does a timer
// running until the last event.
constexpr std::int64_t kLongestTimeMs = 7LL * 24 * 3600 * 1000;

Scenario ParseScenario(const std::string& bytes);

// "line N: what is wrong" for each problem kept, a line each, then "N more"
// when there were more; never longer than kLongestProblemReport bytes.
std::string ProblemReport(const Scenario& scenario);
constexpr std::size_t kLongestProblemReport = kMaxProblems * (kLongestProblemMessage + 20) + 32;

}  // namespace simdrv
