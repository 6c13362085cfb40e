#include "platform/sim/SimScenario.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

std::string errorOf(const std::string& text)
{
    std::string error;
    auto scenario = SimScenario::fromJSON(text, error);
    EXPECT_FALSE(scenario) << text;
    return error;
}

TEST(SimScenarioTest, RefusesBadFilesWithAMessageNamingThePlace)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"events": [)", "not valid JSON"},
        {R"([1, 2])", "top level must be an object"},
        {R"({"evnets": []})", "unknown key \"evnets\""},
        {R"({"events": [{"at": 1, "launch": {"name": "A"}}, {"at": 2, "activate": "Ghost"}]})",
            "events[1] (activate): no application \"Ghost\" is running at 2 s"},
        // Checked in time order: the quit at 1 s comes before the activation at 3 s.
        {R"({"running": [{"name": "A"}], "events": [{"at": 3, "activate": "A"}, {"at": 1, "quit": "A"}]})",
            "events[0] (activate): no application \"A\" is running at 3 s"},
        {R"({"events": [{"at": 1, "jump": true}]})", "events[0] (jump): unknown action"},
        {R"({"events": [{"at": 1, "note": "a", "quit": "b"}]})", "events[0]: one action per event"},
        {R"({"events": [{"launch": {"name": "A"}}]})", "events[0]: \"at\" is missing"},
        {R"({"events": [{"at": -1, "note": "x"}]})", "events[0]: \"at\" must be a number"},
        {R"({"running": [{"name": "A", "pid": 7}], "events": [{"at": 0, "launch": {"name": "B", "pid": 7}}]})",
            "events[0] (launch): pid 7 is used twice"},
        {R"({"running": [{"name": "A"}], "events": [{"at": 0, "dialog": {"app": "A", "title": "T", "buttons": []}}]})",
            "events[0] (dialog): \"buttons\" must be a non-empty array"},
        {R"({"running": [{"name": "A"}], "events": [{"at": 0, "dialog": {"app": "A", "title": "T",
            "buttons": [{"title": "X", "default": true}, {"title": "Y", "default": true}]}}]})",
            "at most one default"},
        {R"({"events": [{"at": 0, "userMovesPointer": [1]}]})", "events[0] (userMovesPointer): the position must be an array of 2"},
        {R"({"screens": [{"frame": [0, 0, 100]}]})", "screens[0]: \"frame\" must be an array of 4 numbers"},
        {R"({"duration": 1, "events": [{"at": 5, "note": "late"}]})", "duration: must be"},
    };
    for (const auto& c : cases)
        EXPECT_NE(errorOf(c.text).find(c.expected), std::string::npos) << c.text << "\n  gave: " << errorOf(c.text);

    std::string error;
    EXPECT_FALSE(SimScenario::fromFile("/nonexistent/scenario.json", error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
}

TEST(SimScenarioTest, PlaysTheTimelineOnTheRunLoopWithTheProgramRunningInBetween)
{
    std::string error;
    // "creator" is a key of older scenario files: they still play.
    auto scenario = SimScenario::fromJSON(R"({
        "screens": [{"frame": [0, 0, 1000, 800], "scale": 2}],
        "sounds": {"Tink": 0.3},
        "preferences": {"feedbackSoundName": "Tink"},
        "running": [{"name": "Files", "pid": 300, "creator": "TOOLONG"}],
        "events": [
          {"at": 0.5, "launch": {"name": "Editor", "bundle": "org.example.Editor", "path": "/opt/ed", "pid": 501, "creator": "EdTr"}},
          {"at": 1, "activate": "Editor"},
          {"at": 1.5, "dialog": {"app": "Editor", "title": "Save changes?", "position": [100, 100],
                                 "buttons": [{"title": "Save", "default": true}, {"title": "Cancel", "cancel": true}]}},
          {"at": 2, "press": "default"},
          {"at": 2, "press": "default"},
          {"at": 3, "setPref": {"key": "playsSoundOnMove", "value": true}},
          {"at": 4, "userMovesPointer": [10, 20]},
          {"at": 5, "quit": "Editor"}
        ]})",
        error);
    ASSERT_TRUE(scenario) << error;
    EXPECT_EQ(scenario->eventCount(), 8u);
    EXPECT_EQ(scenario->duration(), 6.0);

    SimDesktop desktop;
    std::vector<std::string> heard; // what the program would see, with the time
    auto launches = desktop.workspace().notificationCenter().addObserver(kApplicationLaunchedNotification, nullptr,
        [&](const Notification& n) {
            auto info = ApplicationInfo::fromRecord(n.userInfo);
            heard.push_back(info->name + " " + info->path);
        });
    auto reloads = desktop.distributedNotificationCenter().addObserver("ZQK_VelmoraMustUpdatePrefsNotification",
        [&](const std::string&) {
            desktop.standardUserDefaults().synchronize(); // as the agent does on this order
            heard.push_back("reload " + desktop.standardUserDefaults().objectForKey("playsSoundOnMove").description());
        });

    scenario->schedule(desktop);
    EXPECT_EQ(desktop.screens().mainScreenScaleFactor(), 2.0f);
    EXPECT_TRUE(desktop.sounds().soundNamed("Tink"));
    EXPECT_EQ(desktop.standardUserDefaults().stringForKey("feedbackSoundName"), "Tink");
    ASSERT_TRUE(desktop.app(300));
    EXPECT_TRUE(heard.empty()) << "already-running apps are not announced";

    desktop.advance(1.5);
    EXPECT_EQ(heard, std::vector<std::string>{"Editor /opt/ed"});
    SimApp* editor = desktop.app(501);
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->frontmost);
    ASSERT_TRUE(editor->focusedWindow);
    EXPECT_EQ(editor->focusedWindow->attribute("AXTitle"), AttributeValue("Save changes?"));
    auto save = editor->focusedWindow->children().front();
    EXPECT_EQ(save->attribute("AXTitle"), AttributeValue("Save"));
    EXPECT_EQ(save->position(), (Point{420, 210})) << "the first button sits at the right edge";
    EXPECT_EQ(editor->focusedWindow->attribute("AXDefaultButton"), AttributeValue(save->element()));

    desktop.advance(0.5);
    EXPECT_FALSE(save->isAlive()) << "pressing answers the dialog";
    ASSERT_EQ(desktop.logLines().size(), 1u) << "the second press has nothing to press, and says so";
    EXPECT_EQ(desktop.logLines()[0], "scenario: events[4] (press): \"Editor\" has no focused window");

    size_t before = heard.size();
    desktop.advance(1);
    ASSERT_EQ(heard.size(), before + 1) << "the reload order arrives through the run loop";
    EXPECT_EQ(heard.back(), "reload 1");

    desktop.advance(1);
    EXPECT_EQ(desktop.pointer().location(), (Point{10, 20}));
    EXPECT_TRUE(desktop.pointerMoves().empty()) << "the user's moves are not the program's";
    desktop.advance(1);
    EXPECT_FALSE(desktop.app(501));
}

TEST(SimScenarioTest, TheDemoScenarioLoadsAndPlaysWithoutAHitch)
{
    std::string error;
    auto scenario = SimScenario::fromFile(std::string(VELMORA_SOURCE_RESOURCES) + "/demo/scenario.json", error);
    ASSERT_TRUE(scenario) << error;

    SimDesktop desktop;
    scenario->schedule(desktop);
    desktop.advance(scenario->duration());

    for (const auto& line : desktop.logLines())
        EXPECT_EQ(line.find("scenario: events["), std::string::npos) << line;
    EXPECT_EQ(desktop.apps().size(), 1u) << "only the application running from the start is left";
    auto ignored = desktop.standardUserDefaults().objectForKey("ignoredApps");
    ASSERT_TRUE(ignored.array());
    EXPECT_EQ(ignored.array()->front(), Value("Terminal"));
    EXPECT_EQ(desktop.domainStore().read(desktop.applicationDomain())->at("feedbackSoundName"), Value("Glass"));
}

TEST(SimScenarioTest, ScreenFramesCountedFromTheBottomAreFlippedAboutThePrimary)
{
    std::string error;
    // The second screen stands to the right, its bottom 100 above the primary's.
    auto scenario = SimScenario::fromJSON(R"({
        "screens": [{"frame": [0, 0, 1000, 800]}, {"frame": [1000, 100, 500, 300]}, {"frame": [-400, 700, 400, 300]}]})",
        error);
    ASSERT_TRUE(scenario) << error;
    SimDesktop desktop;
    scenario->schedule(desktop);
    auto screens = desktop.screens().screens();
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens[0].frame, (Rect{{0, 0}, {1000, 800}}));
    EXPECT_EQ(screens[1].frame, (Rect{{1000, 400}, {500, 300}}));
    EXPECT_EQ(screens[2].frame, (Rect{{-400, -200}, {400, 300}})) << "reaching above the primary's top";
}

} // namespace
