#include "shared/update/TimedUpdateChecker.h"

#include "platform/sim/SimAlertService.h"
#include "platform/sim/SimDesktop.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "shared/update/AppcastFeeds.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/SimPumping.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::appcastDocument;
using test::appcastItem;
using test::LoopbackHTTPServer;

class TimedUpdateCheckerTest : public ::testing::Test {
protected:
    TimedUpdateCheckerTest()
    {
        m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok(appcastDocument(appcastItem("1.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
        m_scheduler = std::make_unique<TimedUpdateChecker>(TimedUpdateChecker::Services::of(m_desktop), ProgramInfo(Value::Dictionary{
            {ProgramInfo::kNameKey, Value("VelmoraBG")},
            {ProgramInfo::kVersionKey, Value("1.0")},
            {ProgramInfo::kShortVersionKey, Value("1.0 (100)")},
            {ProgramInfo::kUpdateHostKey, Value(m_server.hostAndPort())}}));
    }
    // The pane writes the shared domain from its own process.
    void paneSetsDailyChecks(bool on)
    {
        ProgramSettings pane(m_store, "com.brightfen.velmora");
        pane.setObject(TimedUpdateChecker::kShouldCheckForUpdatesDaily, on);
        ASSERT_TRUE(pane.synchronize());
    }

    bool checking() { return m_scheduler->checker().appcast().isLoading(); }

    // Runs the clock to the end of the next whole day since set-up and, if a
    // check started then, runs it to its end.
    void oneDay()
    {
        size_t before = m_server.requests().size();
        m_desktop.advance(static_cast<double>(++m_days) * kDay - m_desktop.now());
        test::runUntil(m_desktop, [&] { return !checking(); });
        m_lastDayChecked = m_server.requests().size() > before;
    }

    // The period users are promised, written out rather than read back from
    // the class, so that a changed interval fails here.
    static constexpr double kDay = 24 * 60 * 60;

    test::TemporaryDirectory m_directory;
    PlistSettingsFile m_store{m_directory.path()};
    sim::SimDesktop m_desktop{&m_store};
    ScopedPlatform m_scoped{m_desktop};
    LoopbackHTTPServer m_server;
    std::unique_ptr<TimedUpdateChecker> m_scheduler;
    bool m_lastDayChecked{false};
    int m_days{0};
};

TEST_F(TimedUpdateCheckerTest, ConfiguresTheAgentsChecker)
{
    UpdateChecker& checker = m_scheduler->checker();
    EXPECT_EQ(checker.appcastURL(), m_server.url("/velmora/download/assets/VelmoraAppcast.xml"));
    EXPECT_EQ(checker.versionString(), "1.0");
    EXPECT_EQ(checker.displayVersionString(), "1.0 (100)");
    EXPECT_EQ(checker.appName(), "Velmora");
    EXPECT_NE(checker.delegate(), nullptr);
    m_scheduler->setupUpdater();
    EXPECT_EQ(&m_scheduler->checker(), &checker) << "set-up runs once";
}

TEST_F(TimedUpdateCheckerTest, TheCheckComesEveryTwentyFourHoursAndNotBefore)
{
    paneSetsDailyChecks(true);
    m_desktop.advance(kDay - 0.001);
    EXPECT_FALSE(checking()) << "no check at start-up, nor before the day is out";
    m_desktop.advance(0.001);
    EXPECT_TRUE(checking());
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return !checking(); }));

    // The check's own time does not push the next one back.
    m_desktop.advance(2 * kDay - 0.001 - m_desktop.now());
    EXPECT_FALSE(checking());
    EXPECT_EQ(m_server.requests().size(), 1u);
    m_desktop.advance(0.001);
    EXPECT_TRUE(checking());
}

TEST_F(TimedUpdateCheckerTest, NothingHappensUntilTheUserAllowsDailyChecks)
{
    oneDay();
    EXPECT_FALSE(m_lastDayChecked) << "an absent key reads as off";

    paneSetsDailyChecks(true);
    oneDay();
    EXPECT_TRUE(m_lastDayChecked) << "the firing re-reads the domain";
    paneSetsDailyChecks(false);
    oneDay();
    EXPECT_FALSE(m_lastDayChecked);
}

TEST_F(TimedUpdateCheckerTest, ScheduledChecksStaySilentUnlessTheyFindAnUpdate)
{
    paneSetsDailyChecks(true);
    oneDay();
    ASSERT_TRUE(m_lastDayChecked);
    EXPECT_TRUE(m_desktop.alerts().shown().empty()) << "up to date: silent";

    m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok("broken"));
    oneDay();
    ASSERT_TRUE(m_lastDayChecked);
    EXPECT_TRUE(m_desktop.alerts().shown().empty()) << "failure: silent";

    m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok(appcastDocument(appcastItem("1.1", "Sun, 08 Jun 2008 12:00:00 +0000"))));
    m_desktop.alerts().answerNextWith(1);
    oneDay();
    ASSERT_EQ(m_desktop.alerts().shown().size(), 1u);
    EXPECT_EQ(m_desktop.alerts().shown()[0].alert.title, "An updated version of Velmora is available!");
}

TEST_F(TimedUpdateCheckerTest, AUserCheckShowsEveryOutcomeThenSilenceReturns)
{
    m_scheduler->checkForUpdatesVerbosely();
    EXPECT_TRUE(m_scheduler->showVerboseUI());
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return !m_scheduler->showVerboseUI(); }));
    ASSERT_EQ(m_desktop.alerts().shown().size(), 1u);
    EXPECT_EQ(m_desktop.alerts().shown()[0].alert.title, "You are up to date!");
    EXPECT_EQ(m_desktop.alerts().shown()[0].alert.message, "1.0 (100) is the latest version of Velmora.");

    paneSetsDailyChecks(true);
    oneDay();
    ASSERT_TRUE(m_lastDayChecked);
    EXPECT_EQ(m_desktop.alerts().shown().size(), 1u);
}

} // namespace
} // namespace velmora
