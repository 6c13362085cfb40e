#include "pane/ObservableProperties.h"

#include <algorithm>
#include <deque>

namespace velmora {

NotificationObservation ObservableProperties::addObserver(const std::string& key, Observer observer)
{
    return m_center.addObserver(key, nullptr, [observer = std::move(observer)](const Notification& n) { observer(n.name); });
}

void ObservableProperties::didChangeValueForKey(const std::string& key)
{
    for (const auto& affected : keysAffectedBy(key))
        m_center.post(affected, this);
}

std::vector<std::string> ObservableProperties::keysAffectedBy(const std::string& key) const
{
    std::vector<std::string> order{key};
    std::deque<std::string> queue{key};
    while (!queue.empty()) {
        auto it = m_dependents.find(queue.front());
        queue.pop_front();
        if (it == m_dependents.end())
            continue;
        for (const auto& dependent : it->second) {
            // A cycle in the declarations would otherwise never end.
            if (std::find(order.begin(), order.end(), dependent) != order.end())
                continue;
            order.push_back(dependent);
            queue.push_back(dependent);
        }
    }
    return order;
}

void ObservableProperties::setKeysAffectingValueForKey(const std::string& key, const std::vector<std::string>& affectingKeys)
{
    for (const auto& affecting : affectingKeys) {
        auto& dependents = m_dependents[affecting];
        if (std::find(dependents.begin(), dependents.end(), key) == dependents.end())
            dependents.push_back(key);
    }
}

} // namespace velmora
