#include "platform/NotificationCenter.h"

namespace velmora {

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) { }

NotificationCenter::~NotificationCenter() = default;

NotificationObservation NotificationCenter::addObserver(std::string name, const void* sender, Handler handler)
{
    m_state->entries.push_back({std::move(name), sender, std::move(handler)});
    auto it = std::prev(m_state->entries.end());
    // The observation may outlive the centre; it then has nothing to remove.
    std::weak_ptr<State> weak = m_state;
    return NotificationObservation([weak, it] {
        auto state = weak.lock();
        if (!state)
            return;
        if (state->dispatchDepth > 0)
            it->removed = true; // erased once the outermost post returns
        else
            state->entries.erase(it);
    });
}

void NotificationCenter::post(const Notification& notification)
{
    auto state = m_state; // a handler may destroy the centre's owner
    ++state->dispatchDepth;
    // Observers added during this post are not called for it.
    auto end = state->entries.end();
    auto last = end == state->entries.begin() ? end : std::prev(end);
    if (last != end) {
        for (auto it = state->entries.begin();; ++it) {
            if (!it->removed && it->name == notification.name && (!it->sender || it->sender == notification.object)) {
                auto handler = it->handler; // the entry may be removed while it runs
                handler(notification);
            }
            if (it == last)
                break;
        }
    }
    if (--state->dispatchDepth == 0)
        state->entries.remove_if([](const Entry& e) { return e.removed; });
}

void NotificationCenter::post(std::string name, const void* object, Value::Dictionary userInfo)
{
    post(Notification{std::move(name), object, std::move(userInfo)});
}

size_t NotificationCenter::observerCount() const
{
    size_t count = 0;
    for (const auto& e : m_state->entries)
        count += e.removed ? 0 : 1;
    return count;
}

} // namespace velmora
