#include "platform/sim/SimDesktop.h"

namespace velmora::sim {

namespace {

// Dialog layout: a compact alert with its buttons along the bottom edge.
constexpr Size kDialogSize{420, 150};
constexpr Size kButtonSize{80, 20};
constexpr float kMargin = 20;
constexpr float kButtonSpacing = 12;

} // namespace

SimApp::~SimApp()
{
    if (root)
        root->destroy();
}

std::shared_ptr<SimNode> SimApp::addWindow(const std::string& title, Point position, Size size, const std::string& role)
{
    if (!root)
        root = std::make_shared<SimNode>(*this, "AXApplication");
    auto window = root->addChild(role);
    window->setTitle(title).setFrame(position, size);
    windows.insert(windows.begin(), window);
    return window;
}

std::shared_ptr<SimNode> SimApp::addDialog(const std::string& title, Point position)
{
    auto dialog = addWindow(title, position, kDialogSize);
    dialog->setAttribute("AXSubrole", "AXDialog");
    const float buttonY = position.y + kDialogSize.height - kMargin - kButtonSize.height;
    const float okX = position.x + kDialogSize.width - kMargin - kButtonSize.width;
    auto cancel = dialog->addButton("Cancel", {okX - kButtonSpacing - kButtonSize.width, buttonY}, kButtonSize);
    auto ok = dialog->addButton("OK", {okX, buttonY}, kButtonSize);
    dialog->setAttribute("AXDefaultButton", ok->element());
    dialog->setAttribute("AXCancelButton", cancel->element());
    return dialog;
}

} // namespace velmora::sim
