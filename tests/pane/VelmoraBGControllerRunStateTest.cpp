#include "pane/ControlProtocolScene.h"
#include "pane/PaneWindow.h"
#include "pane/SettingsPane.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class RaisedWindow final : public PaneWindow {
public:
    void activateAndOrderFront() override { }
};

class VelmoraBGControllerRunStateTest : public scenes::ControlProtocolScene {
protected:
    VelmoraBGControllerRunStateTest()
    {
        pane.setWindow(&window);
        desktop.setProgramPath("/opt/velmora/bin/velmora");
        desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", controller().currentVersionString()}}, kDomain);
        m_observation = controller().addObserver("runStateDescription", [this](const std::string&) { ++announcements; });
    }

    // What a person sees once the current step is over.
    void look() { shown.push_back(controller().runStateDescription()); }

    AgentController& controller() { return pane.agentController(); }

    RaisedWindow window;
    SettingsPane pane;
    std::vector<std::string> shown;
    int announcements{0};

private:
    NotificationObservation m_observation;
};

TEST_F(VelmoraBGControllerRunStateTest, TheDescriptionFollowsAFullStartAndStop)
{
    agentStartsWhenLaunched(0.3);
    controller().setupUI();
    look();
    desktop.advance(AgentClient::kStatusTimeout + 0.1);
    look();
    controller().setShouldRun(true);
    look();
    desktop.advance(0.5);
    look();
    controller().setShouldRun(false);
    look();
    int before = announcements;
    desktop.advance(0.5);
    look();
    EXPECT_GT(announcements, before);
    EXPECT_EQ(shown, (std::vector<std::string>{"Asking whether Velmora is running…", "Velmora is not running", "Velmora is starting…",
                                               "Velmora is running", "Velmora is stopping…", "Velmora is not running"}));
}

TEST_F(VelmoraBGControllerRunStateTest, AnAgentAlreadyRunningIsReportedWithoutTheTimeOut)
{
    startAgent();
    controller().setupUI();
    look();
    desktop.advance(0.1);
    look();
    desktop.advance(AgentClient::kStatusTimeout);
    look();
    EXPECT_EQ(shown, (std::vector<std::string>{"Asking whether Velmora is running…", "Velmora is running", "Velmora is running"}));
}

} // namespace
