#include "shared/update/UpdateChecker.h"

#include "platform/Platform.h"
#include "shared/update/VersionComparator.h"

#include <algorithm>
#include <initializer_list>

namespace velmora {

namespace {

// Fills each "%@" of a fixed text with the next argument, in order.
std::string format(const std::string& text, std::initializer_list<std::string> arguments)
{
    std::string out;
    auto argument = arguments.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '@' && argument != arguments.end()) {
            out += *argument++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

UpdateChecker::Services UpdateChecker::Services::of(Platform& platform)
{
    return Services{.localCenter = platform.localNotificationCenter(), .alerts = platform.alerts(), .workspace = platform.workspace()};
}

UpdateChecker::UpdateChecker(const Services& services, ProgramInfo programInfo)
    : m_services(services)
    , m_programInfo(std::move(programInfo))
{
    m_resignActiveObservation = m_services.localCenter.addObserver(
        kWillResignActiveNotification, nullptr, [this](const Notification&) { appWillResignActive(); });
}

UpdateChecker::~UpdateChecker() = default;

void UpdateChecker::setAppcastURL(const std::string& url)
{
    if (url != appcastURL())
        m_appcastURL = url;
}

void UpdateChecker::setVersionString(const std::string& version)
{
    if (version != versionString())
        m_versionString = version;
}

std::string UpdateChecker::appName() const
{
    if (!m_appName.empty())
        return m_appName;
    return m_programInfo.objectForInfoDictionaryKey(ProgramInfo::kNameKey);
}

void UpdateChecker::setAppName(const std::string& name)
{
    if (name != appName())
        m_appName = name;
}

std::string UpdateChecker::displayVersionString() const
{
    if (m_displayVersionString.empty() && !m_versionString.empty())
        return m_versionString;
    return m_displayVersionString;
}

void UpdateChecker::setDisplayVersionString(const std::string& version)
{
    if (version != displayVersionString())
        m_displayVersionString = version;
}

bool UpdateChecker::shouldShowUpToDateAlert() const
{
    if (m_delegate) {
        if (auto verbose = m_delegate->shouldShowVerboseUI())
            return *verbose;
    }
    return m_shouldShowUpToDateAlert;
}

void UpdateChecker::setShouldShowUpToDateAlert(bool show)
{
    if (show != shouldShowUpToDateAlert())
        m_shouldShowUpToDateAlert = show;
}

bool UpdateChecker::shouldShowFailureAlert() const
{
    if (m_delegate) {
        if (auto verbose = m_delegate->shouldShowVerboseUI())
            return *verbose;
    }
    return m_shouldShowFailureAlert;
}

void UpdateChecker::setShouldShowFailureAlert(bool show)
{
    if (show != shouldShowFailureAlert())
        m_shouldShowFailureAlert = show;
}

UpdateFeed& UpdateChecker::appcast()
{
    if (!m_appcast) {
        m_appcast = std::make_unique<UpdateFeed>();
        m_appcast->setDelegate(this);
        m_appcast->setUserAgentString(std::string(kUserAgent));
    }
    return *m_appcast;
}

void UpdateChecker::checkForUpdate()
{
    if (m_appcastURL.empty() || m_versionString.empty())
        return;
    appcast().fetchAppcastFromURL(m_appcastURL);
}

void UpdateChecker::appcastDidFinishLoading(UpdateFeed& reader)
{
    const auto& items = reader.items();
    if (!items || items->empty()) {
        // TRANSLATORS: %@ is the program's name.
        std::string message = format(_("There was an error checking for a new version of %@.\n\nPlease try again later."), {appName()});
        logMessage(message);
        m_outcome = Outcome::Failed;
        if (shouldShowFailureAlert())
            showAlertWithTitle(_(kFailureTitle), message, false, _("OK"));
        finished();
        return;
    }

    UpdateFeed::Items sorted = *items;
    // A stable sort stays within the range even if the version order is not
    // a strict weak order for some odd texts.
    std::stable_sort(sorted.begin(), sorted.end(), &UpdateChecker::itemsSort);
    const auto& comparator = VersionComparator::defaultComparator();
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        const auto& item = *it;
        if (!item)
            continue;
        if (comparator.compareVersion(versionString(), item->versionString()) != -1)
            continue;
        if (!hostSupportsItem(*item))
            continue;
        updateAppWithAppcastItem(item);
        finished();
        return;
    }
    noUpdateFound();
    finished();
}

void UpdateChecker::appcastFailedToLoadWithError(UpdateFeed&, const RequestError& error)
{
    logMessage(format("failed to load appcast for %@", {appcastURL()}));
    logMessage(format("error:%@", {error.description()}));
    m_outcome = Outcome::Failed;
    if (shouldShowFailureAlert())
        showAlertWithTitle(_(kFailureTitle), error.localizedDescription(), false, _("OK"));
    finished();
}

bool UpdateChecker::hostSupportsItem(const UpdateFeedItem& item) const
{
    if (item.minimumSystemVersion().empty())
        return true;
    return VersionComparator::defaultComparator().compareVersion(item.minimumSystemVersion(), systemVersionString()) != 1;
}

std::string UpdateChecker::systemVersionString() const
{
    return SystemVersion::fromFacts(m_systemFacts ? *m_systemFacts : SystemVersion::read());
}

// static
bool UpdateChecker::itemsSort(const std::shared_ptr<const UpdateFeedItem>& a, const std::shared_ptr<const UpdateFeedItem>& b)
{
    return VersionComparator::defaultComparator().compareVersion(a->versionString(), b->versionString()) < 0;
}

void UpdateChecker::noUpdateFound()
{
    // TRANSLATORS: the first %@ is a version ("1.0.0"), the second the program's name.
    std::string message = format(_("%@ is the latest version of %@."), {displayVersionString(), appName()});
    logMessage(message);
    m_outcome = Outcome::UpToDate;
    if (shouldShowUpToDateAlert())
        showAlertWithTitle(_(kUpToDateTitle), message, false, _("OK"));
}

void UpdateChecker::updateAppWithAppcastItem(const std::shared_ptr<const UpdateFeedItem>& item)
{
    // Items may be made by hand as well as by the feed reader: only a web
    // page is ever offered to the browser.
    if (UpdateFeedItem::isWebURL(item->releaseNotesURL())) {
        m_offeredItem = item;
        m_outcome = Outcome::UpdateOffered;
        // TRANSLATORS: %@ is the program's name.
        std::string title = format(_("An updated version of %@ is available!"), {appName()});
        // TRANSLATORS: the first %@ is the new version, the second the one installed.
        std::string message = format(
            _("Version %@ is available. You have version %@.\n\nTo upgrade, download the new version and double-click the "
              "file that appears on your desktop.\n\nWould you like to download the new version?\n"),
            {item->displayVersionString(), displayVersionString()});
        // A found update is offered whatever the verbosity.
        if (showAlertWithTitle(title, message, true, _(kUpdateButtonTitle)))
            m_services.workspace.openURL(item->releaseNotesURL());
        return;
    }
    logMessage("no valid release notes url");
    // TRANSLATORS: the first %@ is the program's name, the second the new version.
    std::string message = format(_("There is a new version of %@, but the update information for version %@ is incomplete.\n\nPlease try again later."),
        {appName(), item->displayVersionString()});
    m_outcome = Outcome::Failed;
    if (shouldShowFailureAlert())
        showAlertWithTitle(_(kFailureTitle), message, false, _("OK"));
}

bool UpdateChecker::showAlertWithTitle(const std::string& title, const std::string& message, bool askForResponse, const std::string& okButtonTitle)
{
    AlertService& alerts = m_services.alerts;
    m_showingUpdateAlert = true;
    bool confirmed = true;
    if (askForResponse) {
        auto answer = alerts.runModal({AlertStyle::Informational, title, message, {okButtonTitle, _("Cancel")}});
        confirmed = answer == size_t{0};
    } else {
        alerts.runModal({AlertStyle::Critical, title, message, {_("OK")}});
    }
    m_showingUpdateAlert = false;
    return confirmed;
}

void UpdateChecker::appWillResignActive()
{
    if (!m_showingUpdateAlert)
        return;
    m_services.alerts.abortModal();
}

void UpdateChecker::finished()
{
    if (m_delegate)
        m_delegate->updateCheckFinished();
}

} // namespace velmora
