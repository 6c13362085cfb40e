#include "platform/DelayedCall.h"

#include <utility>

namespace velmora {

DelayedCall& DelayedCall::operator=(DelayedCall&& other) noexcept
{
    if (this != &other) {
        cancel();
        m_record = std::move(other.m_record);
    }
    return *this;
}

void DelayedCall::cancel()
{
    std::shared_ptr<Record> record = std::exchange(m_record, {}).lock();
    if (!record || !record->callback)
        return;
    // Taken out before release: a capture's destructor may cancel other calls.
    auto callback = std::exchange(record->callback, nullptr);
    if (auto unschedule = std::exchange(record->unschedule, nullptr))
        unschedule();
}

bool DelayedCall::isPending() const
{
    std::shared_ptr<Record> record = m_record.lock();
    return record && record->callback;
}

// static
void DelayedCall::run(Record& record)
{
    auto callback = std::exchange(record.callback, nullptr);
    record.unschedule = nullptr;
    if (callback)
        callback();
}

} // namespace velmora
