#pragma once

#include "platform/Value.h"

#include <any>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>

namespace velmora {

struct Notification {
    std::string name;
    const void* object{nullptr};   // the sender; not owned
    Value::Dictionary userInfo;
    // A typed event for observers in the same process (see payloadAs);
    // never leaves it.
    std::any payload{};

    // The payload when it holds a T, else null.
    template<typename T>
    const T* payloadAs() const { return std::any_cast<T>(&payload); }
};

// Keeps one registration alive; destroying (or resetting) it unsubscribes.
class NotificationObservation {
public:
    NotificationObservation() = default;
    explicit NotificationObservation(std::function<void()> remover) : m_remover(std::move(remover)) { }
    NotificationObservation(NotificationObservation&& other) noexcept : m_remover(std::exchange(other.m_remover, {})) { }
    NotificationObservation& operator=(NotificationObservation&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_remover = std::exchange(other.m_remover, {});
        }
        return *this;
    }
    NotificationObservation(const NotificationObservation&) = delete;
    NotificationObservation& operator=(const NotificationObservation&) = delete;
    ~NotificationObservation() { reset(); }

    void reset()
    {
        if (auto remover = std::exchange(m_remover, {}))
            remover();
    }

private:
    std::function<void()> m_remover;
};

// A process-local notification centre: posting delivers synchronously, on the
// posting thread, to every observer registered for the name (and, when an
// observer named a sender, only for that sender). Observers may register or
// unregister from inside a delivery; one removed during a post is not called.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // `sender` null means any sender. The registration lasts as long as the
    // returned observation (and never longer than the centre).
    [[nodiscard]] NotificationObservation addObserver(std::string name, const void* sender, Handler handler);

    void post(const Notification& notification);
    void post(std::string name, const void* object = nullptr, Value::Dictionary userInfo = {});

    size_t observerCount() const;

private:
    struct Entry {
        std::string name;
        const void* sender;
        Handler handler;
        bool removed{false};
    };
    struct State {
        std::list<Entry> entries;
        int dispatchDepth{0};
    };
    std::shared_ptr<State> m_state;
};

} // namespace velmora
