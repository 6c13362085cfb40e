#include "shared/loginitems/AutostartSynchronizer.h"

#include "platform/AutostartEntry.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace velmora {

namespace {

constexpr const char* kLoginWindowDomain = "loginwindow";
constexpr const char* kLoginItemsKey = "AutoLaunchedApplicationDictionary";
constexpr const char* kPathKey = "Path";
constexpr const char* kHideKey = "Hide";

const Value::Array& loginItems(const std::optional<Value::Dictionary>& domain)
{
    static const Value::Array none;
    if (!domain)
        return none;
    auto items = valueForKey(*domain, kLoginItemsKey).array();
    return items ? *items : none;
}

bool entryMatches(const Value& entry, const std::string& target)
{
    auto fields = entry.dictionary();
    if (!fields)
        return false;
    auto path = valueForKey(*fields, kPathKey).string();
    return path && AutostartSynchronizer::normalisedPath(*path) == target;
}

// What makes two entries the same item: every key and value, the path
// normalised, but not the file an entry is kept in. Where each entry is a file
// of its own, a second file that starts the same program (a copy, or one
// another tool wrote) would otherwise outlive the removal and keep starting it.
Value sameItemKey(const Value& entry)
{
    auto fields = entry.dictionary();
    if (!fields)
        return entry;
    Value::Dictionary key = *fields;
    key.erase(kLoginItemFileKey);
    if (auto path = valueForKey(key, kPathKey).string())
        key[kPathKey] = AutostartSynchronizer::normalisedPath(*path);
    return key;
}

Value::Array::const_iterator firstMatch(const Value::Array& items, const std::string& target)
{
    return std::find_if(items.begin(), items.end(), [&](const Value& entry) { return entryMatches(entry, target); });
}

} // namespace

AutostartSynchronizer::AutostartSynchronizer(ProgramSettings& settings, Application& application)
    : m_settings(settings)
    , m_application(application)
{
}

AutostartSynchronizer AutostartSynchronizer::of(Platform& platform)
{
    return AutostartSynchronizer(platform.standardUserDefaults(), platform.application());
}

std::string AutostartSynchronizer::targetPath(const std::string& path)
{
    if (!path.empty())
        return path;
    return normalisedPath(m_application.programPath());
}

void AutostartSynchronizer::updateLoginItems(const std::function<bool(Value::Array& items)>& edit)
{
    m_settings.updatePersistentDomain(kLoginWindowDomain,
        [&](std::optional<Value::Dictionary>& domain) {
            Value::Dictionary fields = domain.value_or(Value::Dictionary {});
            Value::Array items = loginItems(domain);
            if (!edit(items))
                return false;
            fields[kLoginItemsKey] = std::move(items);
            domain = std::move(fields);
            return true;
        });
}

bool AutostartSynchronizer::launchesAtLogin(const std::string& path)
{
    auto& defaults = m_settings;
    defaults.synchronize();
    const auto domain = defaults.persistentDomainForName(kLoginWindowDomain);
    const auto& items = loginItems(domain);
    return firstMatch(items, targetPath(path)) != items.end();
}

void AutostartSynchronizer::addAutostartEntry(const std::string& path)
{
    if (launchesAtLogin(path))
        return;
    const std::string target = targetPath(path);
    updateLoginItems([&](Value::Array& items) {
        // Checked again under the lock: someone may have added it meanwhile.
        if (firstMatch(items, target) != items.end())
            return false;
        items.push_back(Value::Dictionary {{kPathKey, target}, {kHideKey, false}});
        return true;
    });
}

void AutostartSynchronizer::removeAutostartEntry(const std::string& path)
{
    if (!launchesAtLogin(path))
        return;
    const std::string target = targetPath(path);
    updateLoginItems([&](Value::Array& items) {
        auto match = firstMatch(items, target);
        if (match == items.end())
            return false;
        const Value removed = sameItemKey(*match);
        std::erase_if(items, [&](const Value& entry) { return sameItemKey(entry) == removed; });
        return true;
    });
}

void AutostartSynchronizer::setLaunchesAtLogin(bool launches, const std::string& path)
{
    auto& defaults = m_settings;
    defaults.synchronize();
    if (launches)
        addAutostartEntry(path);
    else
        removeAutostartEntry(path);
    defaults.synchronize();
}

std::optional<std::string> AutostartSynchronizer::pathOfAutostartEntryNamed(const std::string& name)
{
    const auto domain = m_settings.persistentDomainForName(kLoginWindowDomain);
    const std::string wanted = std::filesystem::path(name).replace_extension().string();
    for (const Value& entry : loginItems(domain)) {
        auto fields = entry.dictionary();
        auto path = fields ? valueForKey(*fields, kPathKey).string() : nullptr;
        if (!path)
            continue;
        std::string normalised = normalisedPath(*path);
        if (std::filesystem::path(normalised).filename().replace_extension().string() == wanted)
            return normalised;
    }
    return std::nullopt;
}

std::string AutostartSynchronizer::normalisedPath(const std::string& path)
{
    std::string expanded = path;
    if (!path.empty() && path[0] == '~' && (path.size() == 1 || path[1] == '/')) {
        if (const char* home = std::getenv("HOME"))
            expanded = home + path.substr(1);
    }
    if (expanded.empty())
        return expanded;
    std::string normal = std::filesystem::path(expanded).lexically_normal().string();
    // lexically_normal keeps a trailing separator ("a/b/" stays "a/b/").
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

} // namespace velmora
