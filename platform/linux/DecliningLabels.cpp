#include "platform/linux/DecliningLabels.h"

#include "platform/linux/GCharPtr.h"

#include <libintl.h>

#include <algorithm>
#include <vector>

namespace velmora::linux_desktop {

namespace {

const std::vector<std::string>& foldedLabels()
{
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> out;
        for (const char* label : {"_Cancel", "_No", "_Close"}) {
            out.push_back(DecliningLabels::fold(dgettext("gtk30", label)));
            out.push_back(DecliningLabels::fold(dgettext("gtk40", label)));
            out.push_back(DecliningLabels::fold(label));
        }
        return out;
    }();
    return labels;
}

} // namespace

// static
std::string DecliningLabels::fold(const std::string& label)
{
    std::string plain;
    for (char c : label) {
        if (c != '_')
            plain += c;
    }
    GCharPtr folded(g_utf8_casefold(plain.c_str(), -1));
    return folded.str();
}

// static
bool DecliningLabels::declines(const std::string& label)
{
    const auto& labels = foldedLabels();
    return std::find(labels.begin(), labels.end(), fold(label)) != labels.end();
}

} // namespace velmora::linux_desktop
