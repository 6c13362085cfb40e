#include "platform/linux/Gtk4Conventions.h"

#include <cstdlib>

namespace velmora::linux_desktop {

bool Gtk4Conventions::appliesTo(std::string_view toolkitName, std::string_view toolkitVersion)
{
    // GTK 3 reports "gtk" through its bridge, GTK 4 "GTK" from its own
    // implementation; the version decides either way.
    if (toolkitName != "GTK" && toolkitName != "gtk")
        return false;
    const std::string version(toolkitVersion);
    return std::atoi(version.c_str()) >= 4;
}

std::string Gtk4Conventions::plainName(const std::string& name)
{
    // "RAW SHOWN": RAW without its mnemonic markers equals SHOWN. Labels
    // with spaces ("_Save As Save As") split in the middle, so every space
    // is tried.
    for (size_t space = name.find(' '); space != std::string::npos; space = name.find(' ', space + 1)) {
        const std::string raw = name.substr(0, space);
        const std::string shown = name.substr(space + 1);
        if (raw.find('_') == std::string::npos || shown.empty())
            continue;
        std::string unmarked;
        for (size_t i = 0; i < raw.size(); ++i) {
            // "__" is a literal underscore.
            if (raw[i] == '_' && i + 1 < raw.size() && raw[i + 1] == '_')
                unmarked += raw[++i];
            else if (raw[i] != '_')
                unmarked += raw[i];
        }
        if (unmarked == shown)
            return shown;
    }
    return name;
}

std::optional<size_t> Gtk4Conventions::defaultButton(const std::vector<Button>& buttons,
    const std::function<bool(const std::string&)>& declines)
{
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].focused && buttons[i].hasArea && !declines(buttons[i].name))
            return i;
    }
    for (size_t i = buttons.size(); i > 0; --i) {
        const Button& button = buttons[i - 1];
        if (button.hasArea && !button.name.empty() && !declines(button.name))
            return i - 1;
    }
    return std::nullopt;
}

Gtk4Conventions::Margin Gtk4Conventions::windowMargin(const std::optional<FrameExtents>& frameExtents, int xWidth, int xHeight,
    int width, int height)
{
    if (frameExtents)
        return {frameExtents->left, frameExtents->top};
    Margin margin;
    if (xWidth > width && width > 0)
        margin.left = (xWidth - width) / 2;
    if (xHeight > height && height > 0)
        margin.top = (xHeight - height) / 2;
    return margin;
}

Gtk4Conventions::Margin Gtk4Conventions::waylandSurfaceMargin(bool libadwaita)
{
    return libadwaita ? Margin{61, 55} : Margin{14, 12};
}

bool Gtk4Conventions::mapsLibadwaita(std::string_view maps)
{
    return maps.find("/libadwaita-1.so") != std::string_view::npos;
}

} // namespace velmora::linux_desktop
