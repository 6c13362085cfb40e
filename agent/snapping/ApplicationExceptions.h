#pragma once

#include "platform/Geometry.h"
#include "platform/Workspace.h"

#include <optional>
#include <span>
#include <string>

namespace velmora {

// Where the button rules bend for one application or toolkit: the one place
// to add such a rule. Each row names the application (by its name or by its
// identifier) and what changes for it; the button rules ask the lookups below
// and never test an application's name themselves.
class ApplicationExceptions {
public:
    enum class MatchedBy { Name, Identifier };
    enum class Kind {
        // A default button of exactly `size` answers nothing: the title
        // search decides instead.
        IgnoreDefaultButtonOfSize,
        // A cancel button titled `title` (ignoring case) closes a sheet the
        // user came to work in, so it is never the answer.
        IgnoreCancelButtonTitled,
        // Without a default button, its file-operation progress windows
        // ("Copy", "Trash") are answered by their "Replace" or "Continue" button.
        SearchFileProgressWindows,
    };
    struct Row {
        MatchedBy matchedBy;
        const char* key;
        Kind kind;
        Size size{};              // IgnoreDefaultButtonOfSize only
        const char* title{nullptr}; // IgnoreCancelButtonTitled only
    };

    // Every row, in the order they are consulted.
    static std::span<const Row> rows();

    // Lookups for one application; `app` is null for a process without an
    // application record, which no row matches.
    static std::optional<Size> ignoredDefaultButtonSize(const ApplicationInfo* app);
    static std::optional<std::string> ignoredCancelButtonTitle(const ApplicationInfo* app);
    static bool searchesFileProgressWindows(const ApplicationInfo* app);

private:
    static const Row* find(const ApplicationInfo* app, Kind kind);
};

} // namespace velmora
