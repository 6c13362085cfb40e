#include "agent/snapping/ApplicationExceptions.h"

#include <iterator>

namespace velmora {

namespace {

using Row = ApplicationExceptions::Row;
using MatchedBy = ApplicationExceptions::MatchedBy;
using Kind = ApplicationExceptions::Kind;

// Keys are exact (case matters), as the workspace reports them.
constexpr Row kRows[] = {
    {MatchedBy::Name, "GarageBand", Kind::IgnoreDefaultButtonOfSize, {86, 28}},
    {MatchedBy::Identifier, "com.apple.Safari", Kind::IgnoreCancelButtonTitled, {}, "Done"},
    {MatchedBy::Identifier, "com.apple.finder", Kind::SearchFileProgressWindows},
};

bool matches(const Row& row, const ApplicationInfo& app)
{
    switch (row.matchedBy) {
    case MatchedBy::Name:
        return app.name == row.key;
    case MatchedBy::Identifier:
        return app.bundleIdentifier && *app.bundleIdentifier == row.key;
    }
    return false;
}

} // namespace

// static
std::span<const Row> ApplicationExceptions::rows()
{
    return {std::begin(kRows), std::end(kRows)};
}

// static
const Row* ApplicationExceptions::find(const ApplicationInfo* app, Kind kind)
{
    if (!app)
        return nullptr;
    for (const Row& row : rows()) {
        if (row.kind == kind && matches(row, *app))
            return &row;
    }
    return nullptr;
}

// static
std::optional<Size> ApplicationExceptions::ignoredDefaultButtonSize(const ApplicationInfo* app)
{
    const Row* row = find(app, Kind::IgnoreDefaultButtonOfSize);
    return row ? std::optional<Size>(row->size) : std::nullopt;
}

// static
std::optional<std::string> ApplicationExceptions::ignoredCancelButtonTitle(const ApplicationInfo* app)
{
    const Row* row = find(app, Kind::IgnoreCancelButtonTitled);
    return row ? std::optional<std::string>(row->title) : std::nullopt;
}

// static
bool ApplicationExceptions::searchesFileProgressWindows(const ApplicationInfo* app)
{
    return find(app, Kind::SearchFileProgressWindows) != nullptr;
}

} // namespace velmora
