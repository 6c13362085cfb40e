#include "agent/process/VelmoraBGAppDelegate.h"

#include "agent/process/OldBGAppKiller.h"
#include "agent/snapping/AppsObservers.h"
#include "agent/snapping/FeedbackSound.h"
#include "agent/snapping/MouseMoveListener.h"

namespace velmora {

VelmoraBGAppDelegate::VelmoraBGAppDelegate() = default;

VelmoraBGAppDelegate::~VelmoraBGAppDelegate()
{
    // Release order matters: the tracker's observers go before the listeners
    // of the notifications they post.
    m_appsObservers.reset();
    m_feedbackSound.reset();
    m_mouseMoveListener.reset();
}

void VelmoraBGAppDelegate::awakeFromNib()
{
    if (m_awoken)
        return;
    m_awoken = true;

    // An older generation must be gone before our first observer exists.
    OldBGAppKiller::killOldVelmoraBG();

    // The tracker observes every application at once and may already snap
    // here, before the sound and the snap-back coordinator exist: such a
    // first snap is silent and never snapped back.
    m_appsObservers = std::make_unique<AppsObservers>();
    m_feedbackSound = std::make_unique<FeedbackSound>();
    m_mouseMoveListener = std::make_unique<MouseMoveListener>();
}

} // namespace velmora
