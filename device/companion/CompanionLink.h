// The plug-in's side of Orvale8Drv32.exe: the process it starts beside
// itself and the two connections to it, one for the host thread's calls and
// one for the reader's polls. Every wait ends when the companion's process
// does.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "device/companion/Protocol.h"
#include "platform/runtime/Handles_win32.h"

namespace companion {

class Link {
public:
    enum Channel { kHostCalls, kPolls };

    // Starts the companion for a host whose folder (with its trailing
    // separator) is `hostFolder`, and waits, a bounded time, for its hello:
    // null, with `problem` saying why (naming the companion), when it did not
    // come.
    static std::unique_ptr<Link> Start(const std::wstring& hostFolder, std::string& problem);
    ~Link() { End(); }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // One call and its answer on the channel, which one thread uses at a
    // time. False when the companion ended or the channel broke first.
    bool RoundTrip(Channel channel, const Message& request, Message& reply);

    // Ends the companion; an answer a RoundTrip waits for then never comes.
    void End();
    // Whether End was called, which tells a killed companion from a dead one.
    bool EndedHere() const { return endedHere_; }
    // Whether the companion can no longer answer: ended, or a channel broke.
    bool Gone() const;
    // The companion's exit code, once it has ended (waited for a short
    // bound); STILL_ACTIVE while it runs.
    DWORD ExitCode() const;

private:
    struct Connection {
        platform::UniqueHandle pipe;
        platform::UniqueHandle event;  // the overlapped I/O's
    };
    enum class Wait { kDone, kEnded, kTimedOut };

    Link() = default;
    bool Create(const std::wstring& base, std::string& problem);
    bool Launch(const std::wstring& base, const std::wstring& hostFolder, std::string& problem);
    bool AwaitHello(std::string& problem);
    Wait Complete(Connection& connection, OVERLAPPED& overlapped, DWORD timeoutMs, DWORD& bytes);
    Wait Transfer(Connection& connection, bool write, std::uint8_t* bytes, DWORD size, DWORD timeoutMs, DWORD& done);

    Connection connections_[2];
    platform::UniqueHandle process_;
    std::atomic<bool> endedHere_{false};
    std::atomic<bool> broken_{false};
};

}  // namespace companion
