#include "platform/sim/SimDesktop.h"

#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimAgentChannel.h"
#include "platform/sim/SimApplication.h"
#include "platform/sim/SimSessionBroadcast.h"
#include "platform/sim/SimNotificationBus.h"
#include "platform/sim/SimPointer.h"
#include "platform/sim/SimProcessManager.h"
#include "platform/sim/SimRunLoop.h"
#include "platform/sim/SimScreens.h"
#include "platform/sim/SimSoundService.h"
#include "platform/sim/SimSystemLog.h"
#include "platform/sim/SimWorkspace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velmora::sim {

namespace {

constexpr Point kPointerStart{720, 450}; // the middle of the default screen

[[noreturn]] void misuse(const std::string& what)
{
    std::fprintf(stderr, "SimDesktop: %s\n", what.c_str());
    std::abort();
}

} // namespace

SimDesktop::SimDesktop(SettingsStore* store, std::string applicationDomain, std::shared_ptr<SimNotificationBus> bus)
    : m_applicationDomain(std::move(applicationDomain))
    , m_ownStore(store ? nullptr : std::make_unique<MemorySettingsStore>())
    , m_runLoop(std::make_unique<SimRunLoop>())
    , m_localCenter(std::make_unique<NotificationCenter>())
{
    m_store = store ? store : m_ownStore.get();
    m_accessibility = std::make_unique<SimAccessibility>(*this, *m_runLoop);
    m_pointer = std::make_unique<SimPointer>(*m_runLoop, kPointerStart);
    m_screens = std::make_unique<SimScreens>();
    m_application = std::make_unique<SimApplication>(*m_localCenter, *m_runLoop);
    m_workspace = std::make_unique<SimWorkspace>(*this, *m_application);
    m_distributed = std::make_unique<SimSessionBroadcast>(bus ? std::move(bus) : std::make_shared<SimNotificationBus>(), *m_runLoop);
    m_agentChannel = std::make_unique<SimAgentChannel>(m_distributed->bus(), *m_runLoop);
    m_defaults = std::make_unique<ProgramSettings>(*m_store, m_applicationDomain);
    m_sounds = std::make_unique<SimSoundService>(*m_runLoop);
    m_processes = std::make_unique<SimProcessManager>(*this);
    m_log = std::make_unique<SimSystemLog>(*m_runLoop);
}

SimDesktop::~SimDesktop() = default;

Accessibility& SimDesktop::accessibility() { return *m_accessibility; }
Pointer& SimDesktop::pointer() { return *m_pointer; }
Screens& SimDesktop::screens() { return *m_screens; }
Workspace& SimDesktop::workspace() { return *m_workspace; }
RunLoop& SimDesktop::runLoop() { return *m_runLoop; }
NotificationCenter& SimDesktop::localNotificationCenter() { return *m_localCenter; }
SessionBroadcast& SimDesktop::distributedNotificationCenter() { return *m_distributed; }
AgentChannel& SimDesktop::agentChannel() { return *m_agentChannel; }
ProgramSettings& SimDesktop::standardUserDefaults() { return *m_defaults; }
SoundService& SimDesktop::sounds() { return *m_sounds; }
ProcessManager& SimDesktop::processManager() { return *m_processes; }
Application& SimDesktop::application() { return *m_application; }
SystemLog& SimDesktop::systemLog() { return *m_log; }

double SimDesktop::now() const
{
    return m_runLoop->now();
}

void SimDesktop::advance(double seconds)
{
    m_runLoop->advance(seconds);
}

void SimDesktop::runNestedPass()
{
    m_runLoop->runNestedPass();
}

void SimDesktop::runPending()
{
    m_runLoop->runPending();
}

pid_t SimDesktop::allocatePid(pid_t wanted)
{
    if (wanted > 0) {
        if (m_processes->hasProcess(wanted))
            misuse("process " + std::to_string(wanted) + " already exists");
        return wanted;
    }
    while (m_processes->hasProcess(m_nextPid))
        ++m_nextPid;
    return m_nextPid++;
}

SimApp& SimDesktop::addApp(const std::string& name, std::optional<std::string> bundleIdentifier, std::string path, pid_t pid,
    bool listed)
{
    auto app = std::make_unique<SimApp>();
    app->info.name = name;
    app->info.pid = allocatePid(pid);
    app->info.bundleIdentifier = std::move(bundleIdentifier);
    app->info.path = path.empty() ? "/usr/bin/" + name : std::move(path);
    app->listedInWorkspace = listed;
    app->root = std::make_shared<SimNode>(*app, "AXApplication");
    app->root->setTitle(name);
    m_application->addFile(app->info.path);
    SimApp& result = *app;
    m_launchOrder.push_back(app.get());
    m_apps[result.info.pid] = std::move(app);
    return result;
}

SimApp& SimDesktop::launch(const std::string& name, std::optional<std::string> bundleIdentifier, std::string path, pid_t pid)
{
    SimApp& app = addApp(name, std::move(bundleIdentifier), std::move(path), pid, true);
    announceLaunch(app);
    return app;
}

void SimDesktop::announceLaunch(const SimApp& app)
{
    postOnWorkspace(kApplicationLaunchedNotification, app.info.record());
}

SimApp& SimDesktop::addRunningApp(const std::string& name, std::optional<std::string> bundleIdentifier, std::string path, pid_t pid)
{
    return addApp(name, std::move(bundleIdentifier), std::move(path), pid, true);
}

SimApp& SimDesktop::addBackgroundApp(const std::string& name, std::string path, pid_t pid)
{
    return addApp(name, std::nullopt, std::move(path), pid, false);
}

void SimDesktop::terminate(pid_t pid)
{
    auto it = m_apps.find(pid);
    if (it == m_apps.end())
        return;
    std::unique_ptr<SimApp> app = std::move(it->second);
    m_apps.erase(it);
    std::erase(m_launchOrder, app.get());
    app->frontmost = false;
    if (app->root)
        app->root->destroy();
    // By the time the workspace reports it, the process and its tree are gone.
    Value::Dictionary record = app->info.record();
    bool listed = app->listedInWorkspace;
    m_terminated.push_back(std::move(app));
    if (listed)
        postOnWorkspace(kApplicationTerminatedNotification, std::move(record));
}

SimApp* SimDesktop::app(pid_t pid)
{
    auto it = m_apps.find(pid);
    return it == m_apps.end() ? nullptr : it->second.get();
}

SimApp* SimDesktop::appNamed(const std::string& name)
{
    for (SimApp* app : m_launchOrder)
        if (app->info.name == name)
            return app;
    return nullptr;
}

std::vector<SimApp*> SimDesktop::apps()
{
    return m_launchOrder;
}

void SimDesktop::activate(SimApp& app)
{
    if (app.frontmost)
        return;
    for (SimApp* other : m_launchOrder) {
        if (other != &app && other->frontmost) {
            other->frontmost = false;
            postAXNotification(*other, "AXApplicationDeactivated", other->root->element());
        }
    }
    app.frontmost = true;
    postAXNotification(app, "AXApplicationActivated", app.root->element());
}

void SimDesktop::focusWindow(SimApp& app, const std::shared_ptr<SimNode>& window, bool created)
{
    app.focusedWindow = window;
    app.focusedElement = nullptr;
    if (auto it = std::find(app.windows.begin(), app.windows.end(), window); it != app.windows.end())
        std::rotate(app.windows.begin(), it, it + 1);
    if (!window)
        return;
    if (created)
        postAXNotification(app, "AXWindowCreated", window->element());
    postAXNotification(app, "AXFocusedWindowChanged", window->element());
}

void SimDesktop::closeWindow(SimApp& app, const std::shared_ptr<SimNode>& window)
{
    if (!window)
        return;
    std::erase(app.windows, window);
    bool wasFocused = app.focusedWindow == window;
    AccessibleElement element = window->element();
    window->destroy();
    if (app.focusedElement && !app.focusedElement->isAlive())
        app.focusedElement = nullptr;
    postAXNotification(app, "AXUIElementDestroyed", element);
    if (!wasFocused)
        return;
    app.focusedWindow = app.windows.empty() ? nullptr : app.windows.front();
    if (app.focusedWindow)
        postAXNotification(app, "AXFocusedWindowChanged", app.focusedWindow->element());
}

void SimDesktop::setHidden(SimApp& app, bool hidden)
{
    if (app.hidden == hidden)
        return;
    app.hidden = hidden;
    postAXNotification(app, hidden ? "AXApplicationHidden" : "AXApplicationShown", app.root->element());
}

void SimDesktop::postAXNotification(SimApp& app, const std::string& notification, const AccessibleElement& element)
{
    m_accessibility->post(app, notification, element);
}

void SimDesktop::setAPIEnabled(bool enabled)
{
    m_accessibility->setAPIEnabled(enabled);
}

void SimDesktop::setScreens(std::vector<Screen> screens)
{
    m_screens->setScreens(std::move(screens));
}

void SimDesktop::setMainScreenScaleFactor(float scale)
{
    m_screens->setMainScreenScaleFactor(scale);
}

void SimDesktop::sleepDisplays()
{
    if (std::exchange(m_displaysAsleep, true))
        return;
    postOnWorkspace(kScreensDidSleepNotification);
}

void SimDesktop::wakeDisplays()
{
    if (!std::exchange(m_displaysAsleep, false))
        return;
    postOnWorkspace(kScreensDidWakeNotification);
}

bool SimDesktop::displaysAsleep() const
{
    return m_displaysAsleep;
}

void SimDesktop::postOnWorkspace(const char* name, Value::Dictionary userInfo)
{
    m_workspace->notificationCenter().post(name, m_workspace.get(), std::move(userInfo));
}

void SimDesktop::userMovesPointer(Point point)
{
    m_pointer->userMoves(point);
}

void SimDesktop::holdMouseButton(double seconds)
{
    m_pointer->holdButton(seconds);
}

void SimDesktop::setMouseButtonDown(bool down)
{
    m_pointer->setButtonDown(down);
}

void SimDesktop::setPointerAbilities(PointerAbilities abilities)
{
    m_pointer->setAbilities(abilities);
}

const std::vector<SimDesktop::PointerMove>& SimDesktop::pointerMoves() const
{
    return m_pointer->moves();
}

int SimDesktop::buttonEventCount() const
{
    return m_pointer->buttonEventCount();
}

pid_t SimDesktop::addProcess(const std::string& name, const std::string& path)
{
    pid_t pid = allocatePid(0);
    m_processes->addProcess({pid, name, path});
    return pid;
}

void SimDesktop::removeProcess(pid_t pid)
{
    m_processes->removeProcess(pid);
}

std::vector<pid_t> SimDesktop::quitRequests() const
{
    return m_processes->quitRequests();
}

void SimDesktop::setProgramPath(const std::string& path)
{
    m_application->setProgramPath(path);
}

void SimDesktop::addFile(const std::string& path)
{
    m_application->addFile(path);
}

void SimDesktop::removeFile(const std::string& path)
{
    m_application->removeFile(path);
}

bool SimDesktop::terminated() const
{
    return m_application->terminated();
}

const std::vector<std::string>& SimDesktop::openedFiles() const
{
    return m_workspace->openedFiles();
}

const std::vector<std::string>& SimDesktop::openedURLs() const
{
    return m_workspace->openedURLs();
}

const std::vector<std::string>& SimDesktop::postedDistributedNotifications() const
{
    return m_distributed->posted();
}

SimNotificationBus& SimDesktop::sessionBus()
{
    return *m_distributed->bus();
}

const std::vector<std::string>& SimDesktop::agentOrdersSent() const
{
    return m_agentChannel->ordersSent();
}

SettingsStore& SimDesktop::domainStore()
{
    return *m_store;
}

const std::string& SimDesktop::applicationDomain() const
{
    return m_applicationDomain;
}

const std::vector<std::string>& SimDesktop::logLines() const
{
    return m_log->lines();
}

void SimDesktop::setEchoLog(bool echo)
{
    m_log->setEcho(echo);
}

void SimDesktop::addSound(const std::string& name, double seconds)
{
    m_sounds->addSound(name, seconds);
}

const std::vector<SimDesktop::PlayedSound>& SimDesktop::playedSounds() const
{
    return m_sounds->plays();
}

int SimDesktop::requestCount() const
{
    return m_accessibility->requestCount();
}

} // namespace velmora::sim
