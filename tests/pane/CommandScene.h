#pragma once

#include "pane/ControlProtocolScene.h"
#include "pane/VelmoraCommand.h"

#include <sstream>
#include <string>
#include <vector>

namespace velmora::scenes {

// The control-protocol desktop with the `velmora` command run on it as a
// fresh process would run it: what it printed is kept for the test.
class CommandScene : public ControlProtocolScene {
protected:
    int velmora(std::vector<std::string> arguments)
    {
        std::ostringstream out, err;
        int code = VelmoraCommand(out, err).run(arguments);
        desktop.runPending();
        output = out.str();
        errors = err.str();
        return code;
    }

    std::string output;
    std::string errors;
};

} // namespace velmora::scenes
