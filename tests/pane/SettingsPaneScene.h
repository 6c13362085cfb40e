#pragma once

#include "pane/ControlProtocolScene.h"
#include "pane/PaneWindow.h"
#include "pane/SettingsPane.h"

namespace velmora::scenes {

// The settings pane on that desktop, shown in a window that counts how often
// it was raised, installed beside its agent.
class SettingsPaneScene : public ControlProtocolScene {
protected:
    static constexpr const char* kAgentPath = "/opt/velmora/bin/VelmoraBG";

    SettingsPaneScene()
    {
        pane.setWindow(&window);
        desktop.setProgramPath("/opt/velmora/bin/velmora");
    }

    AgentController& controller() { return pane.agentController(); }
    // The domain as a pane of the same version left it.
    void storeCurrentVersion()
    {
        desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", controller().currentVersionString()}}, kDomain);
    }

    struct CountingWindow final : PaneWindow {
        void activateAndOrderFront() override { ++raised; }
        int raised{0};
    } window;
    SettingsPane pane{desktop};
};

} // namespace velmora::scenes
