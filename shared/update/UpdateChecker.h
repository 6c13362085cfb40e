#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Gettext.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/UpdateFeed.h"
#include "shared/update/SystemVersion.h"
#include "shared/update/UpdateCheckerDelegate.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora {

class AlertService;
class Platform;
class Workspace;

// Runs one update check from start to end: has the feed fetched, picks the
// newest item newer than the running program that this system can run, and
// tells the user in a modal alert; on consent, opens the item's release-notes
// page in the browser. Installs nothing.
class UpdateChecker final : private UpdateFeedDelegate {
public:
    static constexpr const char* kUserAgent = "BrightfenSoftware_Updater";
    // Untranslated: the alerts show them through gettext.
    static constexpr const char* kFailureTitle = N_("Failure checking for updates");
    static constexpr const char* kUpToDateTitle = N_("You are up to date!");
    static constexpr const char* kUpdateButtonTitle = N_("Go to Update Webpage");

    // What the last check found, whatever its alert said in whichever language.
    enum class Outcome { NotChecked, Failed, UpToDate, UpdateOffered };

    // The checker of the program described by `programInfo`, whose name the texts
    // use when no appName is set. Subscribes to the application's
    // resign-active notification for its lifetime.
    // The desktop services a check uses; they outlive the checker.
    struct Services {
        NotificationCenter& localCenter;
        AlertService& alerts;
        Workspace& workspace;

        static Services of(Platform& platform);
    };

    explicit UpdateChecker(const Services& services, ProgramInfo programInfo = {});
    ~UpdateChecker() override;
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Texts: an empty one counts as absent.
    std::string appcastURL() const { return m_appcastURL; }
    void setAppcastURL(const std::string& url);
    std::string versionString() const { return m_versionString; }
    void setVersionString(const std::string& version);
    // The stored name, else the program's CFBundleName.
    std::string appName() const;
    void setAppName(const std::string& name);
    // The stored text, else versionString.
    std::string displayVersionString() const;
    void setDisplayVersionString(const std::string& version);

    // The delegate's shouldShowVerboseUI answer when it gives one, else the
    // stored flag (false at creation). Setters store only a change of what
    // the getter answers.
    bool shouldShowUpToDateAlert() const;
    void setShouldShowUpToDateAlert(bool show);
    bool shouldShowFailureAlert() const;
    void setShouldShowFailureAlert(bool show);

    UpdateCheckerDelegate* delegate() const { return m_delegate; }
    void setDelegate(UpdateCheckerDelegate* delegate) { m_delegate = delegate; }

    // Where alerts go; the platform's when null (not owned).
    // The facts the system version is made from; this machine's when unset.
    void setSystemFacts(std::optional<SystemVersion::Facts> facts) { m_systemFacts = std::move(facts); }

    // Starts a check; does nothing without an address or a version.
    void checkForUpdate();

    // The feed reader, created on first use and kept for the checker's life.
    UpdateFeed& appcast();
    // The item offered by the last check that offered one.
    const std::shared_ptr<const UpdateFeedItem>& offeredItem() const { return m_offeredItem; }
    Outcome outcome() const { return m_outcome; }

    bool hostSupportsItem(const UpdateFeedItem& item) const;
    // The host system's dotted version (SystemVersion::fromFacts), never "".
    std::string systemVersionString() const;
    // Ascending by version.
    static bool itemsSort(const std::shared_ptr<const UpdateFeedItem>& a, const std::shared_ptr<const UpdateFeedItem>& b);

private:
    // UpdateFeedDelegate
    void appcastDidFinishLoading(UpdateFeed& appcast) override;
    void appcastFailedToLoadWithError(UpdateFeed& appcast, const RequestError& error) override;

    void noUpdateFound();
    void updateAppWithAppcastItem(const std::shared_ptr<const UpdateFeedItem>& item);
    bool showAlertWithTitle(const std::string& title, const std::string& message, bool askForResponse, const std::string& okButtonTitle);
    void appWillResignActive();
    void finished();

    std::string m_appcastURL;
    std::string m_appName;
    std::string m_versionString;
    std::string m_displayVersionString;
    bool m_shouldShowUpToDateAlert{false};
    bool m_shouldShowFailureAlert{false};
    UpdateCheckerDelegate* m_delegate{nullptr}; // not owned
    std::unique_ptr<UpdateFeed> m_appcast;
    bool m_showingUpdateAlert{false};

    Services m_services;
    ProgramInfo m_programInfo;
    std::optional<SystemVersion::Facts> m_systemFacts;
    std::shared_ptr<const UpdateFeedItem> m_offeredItem;
    Outcome m_outcome{Outcome::NotChecked};
    NotificationObservation m_resignActiveObservation;
};

} // namespace velmora
