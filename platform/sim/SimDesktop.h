#pragma once

#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/sim/SimApplicationFinder.h"
#include "platform/sim/SimPaneServices.h"
#include "platform/sim/SimAlertService.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::sim {

class SimRunLoop;
class SimAccessibility;
class SimPointer;
class SimScreens;
class SimWorkspace;
class SimSessionBroadcast;
class SimAgentChannel;
class SimSoundService;
class SimProcessManager;
class SimApplication;
class SimSystemLog;
class MemorySettingsStore;
class SimNotificationBus;
struct SimApp;

// One element of the simulated accessibility tree. Tests build and change the
// tree; the accessibility backend reads it as a real desktop would be read.
// Attributes are stored values, except these, computed from the tree:
// "AXChildren" (the live children), "AXParent" (the parent); on an
// application element "AXWindows", "AXFocusedWindow", "AXFocusedUIElement"
// (the focused element, else the focused window), "AXFrontmost" and
// "AXHidden" from its SimApp; on an element below a window "AXWindow" and
// "AXTopLevelUIElement" (its ancestor just below the application, itself for
// a window). "AXRole", "AXPosition" and "AXSize" are stored by the builders.
// A stored value wins over a computed one, so a test can offer odd values.
class SimNode : public std::enable_shared_from_this<SimNode> {
public:
    SimNode(SimApp& app, std::string role);
    ~SimNode();

    SimApp& app() const { return *m_app; }
    pid_t pid() const;
    bool isAlive() const { return m_alive; }

    // Attributes the node advertises. setAttribute advertises it too;
    // setHiddenAttribute stores a value that is served on direct copy but not
    // listed among the attribute names.
    SimNode& setAttribute(const std::string& name, AttributeValue value);
    SimNode& setHiddenAttribute(const std::string& name, AttributeValue value);
    // Removes a stored value; for a computed attribute it also stops the
    // node from offering it (until it is set again).
    SimNode& removeAttribute(const std::string& name);
    std::optional<AttributeValue> attribute(const std::string& name) const; // computed ones included
    std::vector<std::string> attributeNames() const;

    // Convenience for the common attributes.
    SimNode& setTitle(const std::string& title) { return setAttribute("AXTitle", title); }
    SimNode& setFrame(Point position, Size size);
    SimNode& setEnabled(bool enabled) { return setAttribute("AXEnabled", enabled); }
    Point position() const;
    Size size() const;

    // Children, in order.
    std::shared_ptr<SimNode> addChild(const std::string& role);
    std::shared_ptr<SimNode> addButton(const std::string& title, Point position, Size size, bool enabled = true);
    std::shared_ptr<SimNode> addGroup(const std::string& role = "AXGroup");
    const std::vector<std::shared_ptr<SimNode>>& children() const { return m_children; }
    SimNode* parent() const { return m_parent; }
    // Detaches from the parent and marks this node and its subtree dead:
    // every later read fails with InvalidUIElement.
    void destroy();

    // A handle to this node, as the backend hands it out.
    AccessibleElement element();

    static size_t liveCount();

private:
    friend struct SimApp;
    SimApp* m_app;                       // not owned; the app outlives its nodes' use
    SimNode* m_parent{nullptr};          // not owned; parent owns us
    std::vector<std::shared_ptr<SimNode>> m_children;
    std::map<std::string, AttributeValue> m_attributes;
    std::set<std::string> m_unlisted;
    std::set<std::string> m_suppressed; // computed attributes switched off
    bool m_alive{true};
};

// A simulated running application with its accessibility tree.
struct SimApp {
    ApplicationInfo info;
    std::shared_ptr<SimNode> root;        // the application element ("AXApplication")
    std::vector<std::shared_ptr<SimNode>> windows;
    std::shared_ptr<SimNode> focusedWindow;
    std::shared_ptr<SimNode> focusedElement;
    bool frontmost{false};
    bool hidden{false};
    bool accessible{true};                // false: no application element, observers fail
    bool hung{false};                     // true: every request fails with CannotComplete
    std::set<std::string> refusedNotifications; // subscribing to these fails
    int requestCount{0};                  // accessibility requests served, for cost checks
    bool listedInWorkspace{true};         // false for background processes such as "loginwindow"
    bool processEnded{false};             // the process is gone, its accessibility not yet

    // The tree dies with the application.
    ~SimApp();

    // Builders. A new window goes on top (first in "AXWindows").
    std::shared_ptr<SimNode> addWindow(const std::string& title, Point position = {100, 100}, Size size = {400, 200},
        const std::string& role = "AXWindow");
    // A 420 x 150 window with an enabled default "OK" and a cancel "Cancel"
    // button (80 x 20 each, bottom right, OK rightmost), named by the
    // window's "AXDefaultButton" and "AXCancelButton".
    std::shared_ptr<SimNode> addDialog(const std::string& title, Point position = {100, 100});
};

// The simulated desktop: an in-memory model of applications, windows and
// buttons, a virtual clock, a pointer, screens, sounds and preferences. Every
// platform service of the agent runs on it. Deterministic: nothing depends on
// real time or on the machine.
class SimDesktop final : public Platform {
public:
    // `store` (not owned) backs the user defaults; a private in-memory store
    // is used when it is null. `bus` carries distributed notifications; give
    // two desktops (an agent's and a pane's) the same bus and the same store
    // to let them talk. A private bus is used when it is null.
    explicit SimDesktop(SettingsStore* store = nullptr, std::string applicationDomain = "com.brightfen.velmora",
        std::shared_ptr<SimNotificationBus> bus = nullptr);
    ~SimDesktop() override;

    // Platform overrides.
    Accessibility& accessibility() override;
    Pointer& pointer() override;
    Screens& screens() override;
    Workspace& workspace() override;
    RunLoop& runLoop() override;
    // The same loop, with what only the simulation may do (post()).
    SimRunLoop& simRunLoop() { return *m_runLoop; }
    NotificationCenter& localNotificationCenter() override;
    SessionBroadcast& distributedNotificationCenter() override;
    AgentChannel& agentChannel() override;
    ProgramSettings& standardUserDefaults() override;
    SoundService& sounds() override;
    ProcessManager& processManager() override;
    Application& application() override;
    SystemLog& systemLog() override;
    SimPaneServices& paneServices() override { return m_paneServices; }
    SimApplicationFinder& applicationFinder() override { return m_applicationFinder; }
    // Records every alert and answers it as the test said beforehand.
    SimAlertService& alerts() override { return *m_alerts; }

    // --- Time -----------------------------------------------------------
    double now() const;
    // Runs everything due up to now + seconds, in time order, then sets the
    // clock there.
    void advance(double seconds);
    // Runs what is due now (queued deliveries, end-of-pass work, zero-delay calls).
    void runPending();
    // See SimRunLoop::runNestedPass().
    void runNestedPass();

    // --- Applications -----------------------------------------------------
    // Starts an application: it appears among the running ones and the
    // workspace posts its launch notification. Not frontmost until activated.
    SimApp& launch(const std::string& name, std::optional<std::string> bundleIdentifier = std::nullopt,
        std::string path = {}, pid_t pid = 0);
    // Posts the launch notification of an application added with
    // addRunningApp, for a launch whose application is set up first.
    void announceLaunch(const SimApp& app);
    // Adds an application without posting a launch notification (already
    // running when the agent starts).
    SimApp& addRunningApp(const std::string& name, std::optional<std::string> bundleIdentifier = std::nullopt,
        std::string path = {}, pid_t pid = 0);
    // An accessible process that the workspace does not list among the
    // applications and that posts no launch notification (e.g. "loginwindow").
    SimApp& addBackgroundApp(const std::string& name, std::string path = {}, pid_t pid = 0);
    // Quits it: its tree dies, then the termination notification is posted.
    // The SimApp object stays valid (but unlisted) until the desktop goes.
    void terminate(pid_t pid);
    // Running applications only; null for an unknown or terminated process.
    SimApp* app(pid_t pid);
    SimApp* appNamed(const std::string& name);
    // In launch order.
    std::vector<SimApp*> apps();

    // Makes an application frontmost (the previous one is deactivated, with
    // "AXApplicationDeactivated") and posts "AXApplicationActivated". Nothing
    // happens for the application that is already frontmost.
    void activate(SimApp& app);
    // Gives a window the focus in its application (raising it to the top)
    // and posts "AXFocusedWindowChanged" (after "AXWindowCreated" when
    // `created`).
    void focusWindow(SimApp& app, const std::shared_ptr<SimNode>& window, bool created = false);
    // Closes a window: removes it, destroys its tree, posts
    // "AXUIElementDestroyed"; focus moves to the next window, if any.
    void closeWindow(SimApp& app, const std::shared_ptr<SimNode>& window);
    // Posts "AXApplicationHidden" or "AXApplicationShown" when it changes.
    void setHidden(SimApp& app, bool hidden);
    // Posts any accessibility notification about an element of `app`.
    void postAXNotification(SimApp& app, const std::string& notification, const AccessibleElement& element);

    // --- Desktop state ----------------------------------------------------
    void setAPIEnabled(bool enabled);
    // The primary screen first. Default: one 1440 x 900 screen, scale 1.
    void setScreens(std::vector<Screen> screens);
    void setMainScreenScaleFactor(float scale);
    void sleepDisplays();  // posts the screens-did-sleep notification
    void wakeDisplays();
    bool displaysAsleep() const;

    // --- Pointer ----------------------------------------------------------
    // The pointer starts in the middle of the default screen, (720, 450).
    // The user moves the pointer (not a warp by the agent).
    void userMovesPointer(Point point);
    // The user holds a mouse button, released `seconds` (virtual) from now.
    void holdMouseButton(double seconds);
    void setMouseButtonDown(bool down);
    // What the pointer lets the program do (default: everything on screen).
    void setPointerAbilities(PointerAbilities abilities);
    // `window`: set for a move made in a window's own coordinates.
    struct PointerMove { double time; Point from; Point to; AccessibleElement window; };
    // Warps made by the program, in order.
    const std::vector<PointerMove>& pointerMoves() const;
    // Button events the program produced; a pure move produces none.
    int buttonEventCount() const;

    // --- Processes, files, log, sounds --------------------------------------
    // Processes that are not applications (e.g. "loginwindow"); applications
    // are listed too.
    pid_t addProcess(const std::string& name, const std::string& path = {});
    void removeProcess(pid_t pid);
    std::vector<pid_t> quitRequests() const;
    void setProgramPath(const std::string& path);
    void addFile(const std::string& path);
    void removeFile(const std::string& path);
    bool terminated() const;
    const std::vector<std::string>& openedFiles() const;
    const std::vector<std::string>& openedURLs() const;
    // The session bus this desktop is on (shared with the desktops given it).
    SimNotificationBus& sessionBus();
    // The orders this desktop sent to the agent's name, in order.
    const std::vector<std::string>& agentOrdersSent() const;
    // Distributed notifications this desktop posted, in order.
    const std::vector<std::string>& postedDistributedNotifications() const;
    // The store behind the user defaults, and their domain.
    SettingsStore& domainStore();
    const std::string& applicationDomain() const;
    const std::vector<std::string>& logLines() const;
    void setEchoLog(bool echo);
    // Sounds that exist, with their length in seconds.
    void addSound(const std::string& name, double seconds);
    struct PlayedSound { double time; std::string name; float volume; };
    const std::vector<PlayedSound>& playedSounds() const;

    // Accessibility requests made so far (all applications).
    int requestCount() const;

private:
    SimApp& addApp(const std::string& name, std::optional<std::string> bundleIdentifier, std::string path, pid_t pid,
        bool listed);
    pid_t allocatePid(pid_t wanted);
    void postOnWorkspace(const char* name, Value::Dictionary userInfo = {});

    SettingsStore* m_store{nullptr}; // not owned unless it is m_ownStore
    std::string m_applicationDomain;
    std::unique_ptr<MemorySettingsStore> m_ownStore;
    std::unique_ptr<SimRunLoop> m_runLoop;
    std::unique_ptr<NotificationCenter> m_localCenter;
    std::unique_ptr<SimAccessibility> m_accessibility;
    std::unique_ptr<SimPointer> m_pointer;
    std::unique_ptr<SimScreens> m_screens;
    std::unique_ptr<SimWorkspace> m_workspace;
    std::unique_ptr<SimSessionBroadcast> m_distributed;
    std::unique_ptr<SimAgentChannel> m_agentChannel;
    std::unique_ptr<ProgramSettings> m_defaults;
    std::unique_ptr<SimSoundService> m_sounds;
    std::unique_ptr<SimProcessManager> m_processes;
    std::unique_ptr<SimApplication> m_application;
    std::unique_ptr<SimSystemLog> m_log;
    SimPaneServices m_paneServices;
    SimApplicationFinder m_applicationFinder;
    std::unique_ptr<SimAlertService> m_alerts{std::make_unique<SimAlertService>()};
    std::map<pid_t, std::unique_ptr<SimApp>> m_apps;
    std::vector<SimApp*> m_launchOrder;                // running applications, not owned
    std::vector<std::unique_ptr<SimApp>> m_terminated; // kept: handles may still point into them
    pid_t m_nextPid{1000};
    bool m_displaysAsleep{false};
};

} // namespace velmora::sim
