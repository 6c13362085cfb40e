#pragma once

#include "platform/DelayedCall.h"
#include "platform/NotificationCenter.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

// The agent's place on the user's session: one well-known name that at most
// one agent holds, with a small interface behind it (quit, reload, version).
// The agent claims the name; the pane and the command watch it. Whether an
// agent runs is answered by the bus itself, so a busy agent still reads as
// running, a killed one stops reading as running at once, and no other
// program can pretend to be the agent.
class AgentChannel {
public:
    // What the agent does on an order. Both run from the agent's run loop.
    struct Orders {
        std::function<void()> quit;
        std::function<void()> reload;
    };

    // Held by the agent for as long as it owns the name; destroying it gives
    // the name back.
    class Claim {
    public:
        virtual ~Claim() = default;
    };

    enum class ClaimResult {
        Owned,
        // Another agent holds the name: this one is not needed.
        HeldByAnother,
        // The bus did not answer or refused; the reason is in the log.
        Failed,
    };

    struct ClaimOutcome {
        ClaimResult result{ClaimResult::Failed};
        std::unique_ptr<Claim> claim; // set when Owned
    };

    // What a watcher hears: the name was taken (an agent runs) or let go.
    struct WatchHandlers {
        std::function<void()> appeared;
        std::function<void()> vanished;
    };

    virtual ~AgentChannel() = default;

    // Agent side. Bounded: a bus that does not answer gives Failed.
    virtual ClaimOutcome claim(const std::string& version, Orders orders) = 0;

    // Pane side. The first answer comes from the run loop as soon as the bus
    // has told who holds the name, then one per change. Ends with the
    // observation.
    [[nodiscard]] virtual NotificationObservation watch(WatchHandlers handlers) = 0;

    // The running agent's version, from the run loop: nothing when no agent
    // answers within the channel's time-out. Destroying the handle drops the
    // answer: the handler never runs and what it captured is released.
    using VersionHandler = std::function<void(std::optional<std::string> version)>;
    [[nodiscard]] virtual DelayedCall requestVersion(VersionHandler handler) = 0;

    // Orders to the agent that holds the name; nothing happens when none
    // does. Posting never waits for the agent.
    virtual void orderQuit() = 0;
    virtual void orderReload() = 0;
};

} // namespace velmora
