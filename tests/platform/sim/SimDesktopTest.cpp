#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

class SimDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {kApplicationLaunchedNotification, kApplicationTerminatedNotification,
                 kScreensDidSleepNotification, kScreensDidWakeNotification}) {
            observations.push_back(desktop.workspace().notificationCenter().addObserver(name, nullptr,
                [this](const Notification& n) { workspaceNotes.push_back(n); }));
        }
    }

    // Records every accessibility notification of `app` (subscribed on its
    // application element).
    std::unique_ptr<AccessibilityObserver> listen(SimApp& app)
    {
        std::unique_ptr<AccessibilityObserver> observer;
        EXPECT_EQ(desktop.accessibility().createObserver(app.info.pid,
                      [this, &app](const AccessibleElement& e, const std::string& n) { axNotes.push_back(app.info.name + ":" + n); (void)e; },
                      observer),
            AccessibilityError::Success);
        for (const char* name : {"AXApplicationActivated", "AXApplicationDeactivated", "AXFocusedWindowChanged", "AXWindowCreated",
                 "AXUIElementDestroyed", "AXApplicationHidden", "AXApplicationShown"})
            EXPECT_EQ(observer->addNotification(app.root->element(), name), AccessibilityError::Success);
        observer->addToRunLoop();
        return observer;
    }

    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    std::vector<NotificationObservation> observations;
    std::vector<Notification> workspaceNotes;
    std::vector<std::string> axNotes;
};

TEST_F(SimDesktopTest, LaunchAndTerminateReachTheWorkspaceAndTheProcessList)
{
    SimApp& finder = desktop.addRunningApp("Finder", "org.example.finder");
    SimApp& editor = desktop.launch("Editor", "org.example.Editor", "/opt/Editor/Editor", 2000);
    SimApp& login = desktop.addBackgroundApp("loginwindow");

    ASSERT_EQ(workspaceNotes.size(), 1u) << "only launch() announces itself";
    EXPECT_EQ(workspaceNotes[0].name, kApplicationLaunchedNotification);
    EXPECT_EQ(ApplicationInfo::fromRecord(workspaceNotes[0].userInfo), editor.info);
    EXPECT_EQ(editor.info.pid, 2000);

    auto launched = desktop.workspace().launchedApplications();
    ASSERT_EQ(launched.size(), 2u) << "background processes are not listed";
    EXPECT_EQ(launched[0], finder.info);
    EXPECT_EQ(launched[1], editor.info);
    EXPECT_TRUE(desktop.accessibility().createApplication(login.info.pid)) << "but they are accessible";

    pid_t other = desktop.addProcess("helperd", "/usr/libexec/helperd");
    auto processes = desktop.processManager().processes();
    ASSERT_EQ(processes.size(), 4u);
    EXPECT_TRUE(std::is_sorted(processes.begin(), processes.end(), [](auto& a, auto& b) { return a.pid < b.pid; }));

    EXPECT_TRUE(desktop.processManager().sendQuit(other));
    EXPECT_FALSE(desktop.processManager().sendQuit(31337));
    EXPECT_EQ(desktop.quitRequests(), std::vector<pid_t>{other});

    AccessibleElement window = editor.addWindow("Doc")->element();
    desktop.terminate(2000);
    ASSERT_EQ(workspaceNotes.size(), 2u);
    EXPECT_EQ(workspaceNotes[1].name, kApplicationTerminatedNotification);
    EXPECT_EQ(ApplicationInfo::fromRecord(workspaceNotes[1].userInfo)->pid, 2000);
    EXPECT_EQ(desktop.app(2000), nullptr);
    EXPECT_EQ(desktop.workspace().launchedApplications().size(), 1u);
    EXPECT_EQ(desktop.processManager().processes().size(), 3u);
    AttributeValue title;
    EXPECT_EQ(desktop.accessibility().copyAttributeValue(window, "AXTitle", title), AccessibilityError::InvalidUIElement);
    EXPECT_EQ(editor.info.name, "Editor") << "the record stays readable after termination";
}

TEST_F(SimDesktopTest, ActivationFocusHidingAndClosingPostTheirNotificationsInOrder)
{
    SimApp& editor = desktop.addRunningApp("Editor");
    SimApp& mail = desktop.addRunningApp("Mail");
    auto editorObserver = listen(editor);
    auto mailObserver = listen(mail);
    auto document = editor.addWindow("Doc");

    desktop.activate(editor);
    desktop.activate(editor); // already frontmost: nothing
    desktop.activate(mail);
    EXPECT_EQ(desktop.workspace().activeApplication()->name, "Mail");
    desktop.activate(editor);
    auto dialog = editor.addDialog("Save?");
    desktop.focusWindow(editor, dialog, true);
    desktop.setHidden(mail, true);
    desktop.setHidden(mail, true);
    desktop.closeWindow(editor, dialog);
    desktop.runPending();

    EXPECT_EQ(axNotes, (std::vector<std::string>{"Editor:AXApplicationActivated", "Editor:AXApplicationDeactivated",
                           "Mail:AXApplicationActivated", "Mail:AXApplicationDeactivated", "Editor:AXApplicationActivated",
                           "Editor:AXWindowCreated", "Editor:AXFocusedWindowChanged", "Mail:AXApplicationHidden",
                           "Editor:AXUIElementDestroyed", "Editor:AXFocusedWindowChanged"}));
    EXPECT_EQ(editor.focusedWindow, document) << "focus falls back to the next window";
    EXPECT_TRUE(editor.frontmost);
    EXPECT_FALSE(mail.frontmost);
    EXPECT_EQ(desktop.workspace().activeApplication(), editor.info);
}

TEST_F(SimDesktopTest, DisplaySleepWakeAndWorkspaceQueries)
{
    desktop.sleepDisplays();
    desktop.sleepDisplays();
    desktop.wakeDisplays();
    ASSERT_EQ(workspaceNotes.size(), 2u);
    EXPECT_EQ(workspaceNotes[0].name, kScreensDidSleepNotification);
    EXPECT_EQ(workspaceNotes[1].name, kScreensDidWakeNotification);

    desktop.addRunningApp("VelmoraBG old", std::nullopt, "/opt/old/VelmoraBG");
    EXPECT_FALSE(desktop.workspace().activeApplication());

    EXPECT_TRUE(desktop.workspace().openURL("https://example.org/velmora"));
    EXPECT_FALSE(desktop.workspace().openFile("/missing.pdf"));
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{"https://example.org/velmora"});
    EXPECT_EQ(desktop.openedFiles(), std::vector<std::string>{"/missing.pdf"});

    auto screens = desktop.screens().screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame, (Rect{{0, 0}, {1440, 900}}));
    desktop.setMainScreenScaleFactor(2);
    EXPECT_EQ(desktop.screens().mainScreenScaleFactor(), 2.0f);
}

TEST_F(SimDesktopTest, ApplicationFilesLogAndOrderlyTermination)
{
    Application& application = desktop.application();
    EXPECT_TRUE(application.fileExists(application.programPath())) << "a running program exists where it started";
    desktop.setProgramPath("/opt/velmora/VelmoraBG.app");
    desktop.addFile("/opt/velmora/VelmoraBG.app/Contents/Resources/Check");
    EXPECT_TRUE(application.fileExists("/opt/velmora"));
    EXPECT_FALSE(application.fileExists("/opt/vel"));
    desktop.removeFile("/opt/velmora/VelmoraBG.app");
    EXPECT_TRUE(application.fileExists("/opt/velmora/VelmoraBG.app")) << "still a folder with content";

    logMessage("Couldn't find watcher");
    EXPECT_EQ(desktop.logLines(), std::vector<std::string>{"Couldn't find watcher"});

    int willTerminate = 0;
    auto observation = desktop.localNotificationCenter().addObserver(kWillTerminateNotification, nullptr,
        [&](const Notification&) { ++willTerminate; });
    auto timer = desktop.runLoop().scheduleTimer(1, TimerRepeats::Yes, [&] { application.terminate(); });
    desktop.runLoop().run();
    EXPECT_EQ(willTerminate, 1);
    EXPECT_TRUE(desktop.terminated());
    EXPECT_EQ(desktop.now(), 1.0) << "terminate stops the loop";
}

} // namespace

namespace {

TEST(SimPaneServicesTest, ALaunchedProgramsEndReachesOnlyAHandleStillHeld)
{
    SimDesktop desktop;
    auto& services = desktop.paneServices();
    std::vector<int> heard;

    auto kept = services.launchApplicationAtPath("/opt/velmora/VelmoraBG", {}, [&](int status) { heard.push_back(status); });
    ASSERT_TRUE(kept.has_value());
    EXPECT_TRUE(kept->isPending());
    services.endLastLaunched(7);
    services.endLastLaunched(8);
    EXPECT_EQ(heard, std::vector<int>{7}) << "once, with the wait status";
    EXPECT_FALSE(kept->isPending());

    (void)services.launchApplicationAtPath("/opt/velmora/VelmoraBG", {}, [&](int status) { heard.push_back(status); });
    services.endLastLaunched(9);
    EXPECT_EQ(heard, std::vector<int>{7}) << "the handle was dropped: nobody listens";

    services.setLaunchHandler([](const std::string&) { return false; });
    EXPECT_FALSE(services.launchApplicationAtPath("/missing", {}, [&](int status) { heard.push_back(status); }).has_value());
}

} // namespace
