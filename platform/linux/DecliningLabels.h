#pragma once

#include <string>

namespace velmora::linux_desktop {

// The labels toolkits give the button that declines a dialog (cancel, no,
// close), in the user's language (GTK 3's and GTK 4's translations) and in
// English, the label of a program without translations. Labels are compared
// without their mnemonic markers and case-folded.
class DecliningLabels {
public:
    static bool declines(const std::string& label);
    // A label without its mnemonic markers ('_'), folded for comparison.
    static std::string fold(const std::string& label);
};

} // namespace velmora::linux_desktop
