#include "platform/sim/SimScenario.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimElementRef.h"
#include "platform/sim/SimRunLoop.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>

namespace velmora::sim {

namespace {

using json = nlohmann::json;

// What the preference pane posts after it changed the shared domain.
constexpr const char* kMustUpdatePrefsNotification = "ZQK_VelmoraMustUpdatePrefsNotification";

// Dialog geometry: the same compact alert as SimApp::addDialog.
constexpr Size kDialogSize{420, 150};
constexpr Size kButtonSize{80, 20};
constexpr float kMargin = 20;
constexpr float kButtonSpacing = 12;

struct ScenarioError {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, const std::string& what)
{
    throw ScenarioError{where + ": " + what};
}

Value toValue(const json& j)
{
    switch (j.type()) {
    case json::value_t::boolean:
        return j.get<bool>();
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
        return j.get<int64_t>();
    case json::value_t::number_float:
        return j.get<double>();
    case json::value_t::string:
        return j.get<std::string>();
    case json::value_t::array: {
        Value::Array array;
        for (const auto& item : j)
            array.push_back(toValue(item));
        return array;
    }
    case json::value_t::object: {
        Value::Dictionary dictionary;
        for (const auto& [key, item] : j.items())
            dictionary[key] = toValue(item);
        return dictionary;
    }
    default:
        return {};
    }
}

std::string requireString(const json& j, const std::string& where, const char* what)
{
    if (!j.is_string() || j.get<std::string>().empty())
        fail(where, std::string(what) + " must be a non-empty string");
    return j.get<std::string>();
}

std::vector<float> requireNumbers(const json& j, size_t count, const std::string& where, const char* what)
{
    if (!j.is_array() || j.size() != count || !std::all_of(j.begin(), j.end(), [](const json& n) { return n.is_number(); }))
        fail(where, std::string(what) + " must be an array of " + std::to_string(count) + " numbers");
    std::vector<float> numbers;
    for (const auto& n : j)
        numbers.push_back(n.get<float>());
    return numbers;
}

const json& member(const json& object, const char* key, const std::string& where)
{
    auto it = object.find(key);
    if (it == object.end())
        fail(where, std::string("\"") + key + "\" is missing");
    return *it;
}

SimApp* frontmostApp(SimDesktop& desktop)
{
    for (SimApp* app : desktop.apps())
        if (app->frontmost)
            return app;
    return nullptr;
}

bool pidInUse(SimDesktop& desktop, pid_t pid)
{
    auto processes = desktop.processManager().processes();
    return std::any_of(processes.begin(), processes.end(), [pid](const ProcessRecord& p) { return p.pid == pid; });
}

std::shared_ptr<SimNode> nodeOf(const std::optional<AttributeValue>& value)
{
    auto element = value ? value->element() : nullptr;
    auto ref = element ? element->refAs<SimElementRef>() : nullptr;
    return ref ? ref->sharedNode() : nullptr;
}

std::shared_ptr<SimNode> buttonTitled(const std::shared_ptr<SimNode>& node, const std::string& title)
{
    for (const auto& child : node->children()) {
        auto role = child->attribute("AXRole");
        auto childTitle = child->attribute("AXTitle");
        if (role && role->string() && *role->string() == "AXButton" && childTitle && childTitle->string()
            && *childTitle->string() == title)
            return child;
        if (auto found = buttonTitled(child, title))
            return found;
    }
    return nullptr;
}

} // namespace

// Reads the document into a scenario, checking as it goes; the first problem
// ends the reading with a ScenarioError.
class SimScenario::Parser {
public:
    explicit Parser(SimScenario& scenario) : m_scenario(scenario) { }

    void parse(const json& root)
    {
        if (!root.is_object())
            fail("scenario", "the top level must be an object");
        static const std::set<std::string> kKeys = {"screens", "pointer", "sounds", "preferences", "running", "duration", "events"};
        for (const auto& [key, value] : root.items())
            if (!kKeys.contains(key))
                fail("scenario", "unknown key \"" + key + "\"");

        if (auto it = root.find("screens"); it != root.end())
            parseScreens(*it);
        if (auto it = root.find("pointer"); it != root.end()) {
            auto xy = requireNumbers(*it, 2, "pointer", "the pointer");
            m_scenario.m_pointer = std::pair{xy[0], xy[1]};
        }
        if (auto it = root.find("sounds"); it != root.end()) {
            if (!it->is_object())
                fail("sounds", "must map sound names to lengths in seconds");
            for (const auto& [name, length] : it->items()) {
                if (!length.is_number() || length.get<double>() < 0)
                    fail("sounds." + name, "the length must be a number of seconds");
                m_scenario.m_sounds[name] = length.get<double>();
            }
        }
        if (auto it = root.find("preferences"); it != root.end()) {
            if (!it->is_object())
                fail("preferences", "must be an object of keys and values");
            Value preferences = toValue(*it);
            m_scenario.m_preferences = *preferences.dictionary();
        }
        if (auto it = root.find("running"); it != root.end()) {
            if (!it->is_array())
                fail("running", "must be an array of applications");
            for (size_t i = 0; i < it->size(); ++i) {
                auto entry = parseApp((*it)[i], "running[" + std::to_string(i) + "]");
                m_running.insert(entry.name);
                m_scenario.m_running.push_back(std::move(entry));
            }
        }
        if (auto it = root.find("events"); it != root.end())
            parseEvents(*it);

        double last = m_scenario.m_events.empty() ? 0 : m_lastTime;
        m_scenario.m_duration = last + 1;
        if (auto it = root.find("duration"); it != root.end()) {
            if (!it->is_number() || it->get<double>() < last)
                fail("duration", "must be a number of seconds no earlier than the last event");
            m_scenario.m_duration = it->get<double>();
        }
    }

private:
    void parseScreens(const json& screens)
    {
        if (!screens.is_array())
            fail("screens", "must be an array");
        std::vector<Screen> result;
        float primaryTop = 0;
        for (size_t i = 0; i < screens.size(); ++i) {
            std::string where = "screens[" + std::to_string(i) + "]";
            if (!screens[i].is_object())
                fail(where, "must be an object");
            auto frame = requireNumbers(member(screens[i], "frame", where), 4, where, "\"frame\"");
            // Scenario files count y up from the primary screen's bottom edge;
            // flipped here about the primary (the first) into top-left pixels.
            if (result.empty())
                primaryTop = frame[1] + frame[3];
            Screen screen{Rect{{frame[0], primaryTop - (frame[1] + frame[3])}, {frame[2], frame[3]}}, 1.0f};
            if (auto scale = screens[i].find("scale"); scale != screens[i].end()) {
                if (!scale->is_number() || scale->get<float>() <= 0)
                    fail(where, "\"scale\" must be a positive number");
                screen.scaleFactor = scale->get<float>();
            }
            result.push_back(screen);
        }
        m_scenario.m_screens = std::move(result);
    }

    AppSpec parseApp(const json& j, const std::string& where)
    {
        if (!j.is_object())
            fail(where, "an application must be an object with at least a \"name\"");
        AppSpec entry;
        entry.name = requireString(member(j, "name", where), where, "\"name\"");
        if (m_running.contains(entry.name))
            fail(where, "an application named \"" + entry.name + "\" is already running");
        if (auto it = j.find("bundle"); it != j.end())
            entry.bundle = requireString(*it, where, "\"bundle\"");
        if (auto it = j.find("path"); it != j.end())
            entry.path = requireString(*it, where, "\"path\"");
        if (auto it = j.find("pid"); it != j.end()) {
            if (!it->is_number_integer() || it->get<int64_t>() <= 0 || it->get<int64_t>() > 0x7fffffff)
                fail(where, "\"pid\" must be a positive integer");
            entry.pid = it->get<int>();
            if (!m_pids.insert(entry.pid).second)
                fail(where, "pid " + std::to_string(entry.pid) + " is used twice");
        }
        // "creator" (a four-character code from older scenarios) has no
        // counterpart on Linux: accepted, whatever it holds, and ignored.
        if (auto it = j.find("background"); it != j.end()) {
            if (!it->is_boolean())
                fail(where, "\"background\" must be true or false");
            entry.background = it->get<bool>();
        }
        return entry;
    }

    void parseEvents(const json& events)
    {
        if (!events.is_array())
            fail("events", "must be an array");
        // Checked in the order they will run, so that a name refers to an
        // application running at that moment.
        std::vector<size_t> order(events.size());
        std::iota(order.begin(), order.end(), 0);
        auto timeOf = [&](size_t i) {
            std::string where = "events[" + std::to_string(i) + "]";
            if (!events[i].is_object())
                fail(where, "an event must be an object");
            const json& at = member(events[i], "at", where);
            if (!at.is_number() || at.get<double>() < 0)
                fail(where, "\"at\" must be a number of seconds, 0 or more");
            return at.get<double>();
        };
        std::vector<double> times;
        for (size_t i : order)
            times.push_back(timeOf(i));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return times[a] < times[b]; });
        std::vector<std::optional<Event>> parsed(events.size());
        for (size_t i : order)
            parsed[i] = parseEvent(events[i], i, times[i]);
        // Scheduled in file order: the run loop runs ties in scheduling order.
        for (auto& event : parsed)
            m_scenario.m_events.push_back(std::move(*event));
    }

    Event parseEvent(const json& event, size_t index, double at)
    {
        std::string kind;
        for (const auto& [key, value] : event.items()) {
            if (key == "at")
                continue;
            if (!kind.empty())
                fail("events[" + std::to_string(index) + "]", "one action per event, found \"" + kind + "\" and \"" + key + "\"");
            kind = key;
        }
        if (kind.empty())
            fail("events[" + std::to_string(index) + "]", "no action");
        std::string where = "events[" + std::to_string(index) + "] (" + kind + ")";
        const json& argument = event.at(kind);
        m_lastTime = std::max(m_lastTime, at);
        return Event{at, where, makeAction(kind, argument, where, at)};
    }

    std::string runningApp(const json& j, const std::string& where, double at)
    {
        std::string name = requireString(j, where, "the application");
        if (!m_running.contains(name)) {
            std::ostringstream text;
            text << "no application \"" << name << "\" is running at " << at << " s";
            fail(where, text.str());
        }
        return name;
    }

    Action makeAction(const std::string& kind, const json& argument, const std::string& where, double at)
    {
        if (kind == "launch") {
            AppSpec entry = parseApp(argument, where);
            m_running.insert(entry.name);
            return [entry](SimDesktop& desktop) -> std::string {
                if (entry.pid && pidInUse(desktop, entry.pid))
                    return "pid " + std::to_string(entry.pid) + " is taken";
                SimApp& app = entry.background ? desktop.addBackgroundApp(entry.name, entry.path, entry.pid)
                                              : desktop.addRunningApp(entry.name, entry.bundle, entry.path, entry.pid);
                if (!entry.background)
                    desktop.announceLaunch(app);
                return "";
            };
        }
        if (kind == "quit") {
            std::string name = runningApp(argument, where, at);
            m_running.erase(name);
            return [name](SimDesktop& desktop) -> std::string {
                SimApp* app = desktop.appNamed(name);
                if (!app)
                    return "\"" + name + "\" is not running";
                desktop.terminate(app->info.pid);
                return "";
            };
        }
        if (kind == "activate" || kind == "hide" || kind == "unhide") {
            std::string name = runningApp(argument, where, at);
            return [name, kind](SimDesktop& desktop) -> std::string {
                SimApp* app = desktop.appNamed(name);
                if (!app)
                    return "\"" + name + "\" is not running";
                if (kind == "activate")
                    desktop.activate(*app);
                else
                    desktop.setHidden(*app, kind == "hide");
                return "";
            };
        }
        if (kind == "window")
            return makeWindow(argument, where, at);
        if (kind == "dialog")
            return makeDialog(argument, where, at);
        if (kind == "press") {
            std::string which = requireString(argument, where, "the button (\"default\", \"cancel\" or a title)");
            return [which](SimDesktop& desktop) -> std::string {
                SimApp* app = frontmostApp(desktop);
                if (!app)
                    return "no application is frontmost";
                auto window = app->focusedWindow;
                if (!window || !window->isAlive())
                    return "\"" + app->info.name + "\" has no focused window";
                std::shared_ptr<SimNode> button;
                if (which == "default")
                    button = nodeOf(window->attribute("AXDefaultButton"));
                else if (which == "cancel")
                    button = nodeOf(window->attribute("AXCancelButton"));
                else
                    button = buttonTitled(window, which);
                if (!button || !button->isAlive())
                    return "the focused window of \"" + app->info.name + "\" has no " + which + " button";
                auto enabled = button->attribute("AXEnabled");
                if (enabled && enabled->boolValue() == false)
                    return "the " + which + " button is disabled";
                desktop.closeWindow(*app, window);
                return "";
            };
        }
        if (kind == "close") {
            std::string title = requireString(argument, where, "the window title");
            return [title](SimDesktop& desktop) -> std::string {
                auto apps = desktop.apps();
                std::stable_partition(apps.begin(), apps.end(), [](SimApp* app) { return app->frontmost; });
                for (SimApp* app : apps) {
                    for (const auto& window : app->windows) {
                        auto windowTitle = window->attribute("AXTitle");
                        if (windowTitle && windowTitle->string() && *windowTitle->string() == title) {
                            desktop.closeWindow(*app, window);
                            return "";
                        }
                    }
                }
                return "no window titled \"" + title + "\"";
            };
        }
        if (kind == "userMovesPointer") {
            auto xy = requireNumbers(argument, 2, where, "the position");
            return [point = Point{xy[0], xy[1]}](SimDesktop& desktop) -> std::string {
                desktop.userMovesPointer(point);
                return "";
            };
        }
        if (kind == "holdMouseButton") {
            if (!argument.is_number() || argument.get<double>() <= 0)
                fail(where, "must be a positive number of seconds");
            return [seconds = argument.get<double>()](SimDesktop& desktop) -> std::string {
                desktop.holdMouseButton(seconds);
                return "";
            };
        }
        if (kind == "setPref") {
            if (!argument.is_object())
                fail(where, "must be {\"key\": ..., \"value\": ...}");
            std::string key = requireString(member(argument, "key", where), where, "\"key\"");
            Value value = toValue(member(argument, "value", where));
            return [key, value](SimDesktop& desktop) -> std::string {
                bool stored = desktop.domainStore().update(desktop.applicationDomain(), [&](std::optional<Value::Dictionary>& domain) {
                    if (!domain)
                        domain.emplace();
                    (*domain)[key] = value;
                    return true;
                });
                if (!stored)
                    return "the preference \"" + key + "\" could not be stored";
                desktop.distributedNotificationCenter().postNotificationName(kMustUpdatePrefsNotification);
                return "";
            };
        }
        if (kind == "sleepDisplays" || kind == "wakeDisplays") {
            if (argument != json(true))
                fail(where, "must be true");
            return [kind](SimDesktop& desktop) -> std::string {
                if (kind == "sleepDisplays")
                    desktop.sleepDisplays();
                else
                    desktop.wakeDisplays();
                return "";
            };
        }
        if (kind == "note") {
            std::string text = requireString(argument, where, "the note");
            return [text](SimDesktop& desktop) -> std::string {
                desktop.systemLog().log("scenario: " + text);
                return "";
            };
        }
        fail(where, "unknown action");
    }

    Action makeWindow(const json& argument, const std::string& where, double at)
    {
        if (!argument.is_object())
            fail(where, "must be an object with \"app\" and \"title\"");
        std::string name = runningApp(member(argument, "app", where), where, at);
        std::string title = requireString(member(argument, "title", where), where, "\"title\"");
        std::vector<float> frame{100, 100, 400, 200};
        if (auto it = argument.find("frame"); it != argument.end())
            frame = requireNumbers(*it, 4, where, "\"frame\"");
        return [name, title, frame](SimDesktop& desktop) -> std::string {
            SimApp* app = desktop.appNamed(name);
            if (!app)
                return "\"" + name + "\" is not running";
            auto window = app->addWindow(title, {frame[0], frame[1]}, {frame[2], frame[3]});
            desktop.focusWindow(*app, window, true);
            return "";
        };
    }

    Action makeDialog(const json& argument, const std::string& where, double at)
    {
        if (!argument.is_object())
            fail(where, "must be an object with \"app\", \"title\" and \"buttons\"");
        std::string name = runningApp(member(argument, "app", where), where, at);
        std::string title = requireString(member(argument, "title", where), where, "\"title\"");
        std::optional<Point> position;
        if (auto it = argument.find("position"); it != argument.end()) {
            auto xy = requireNumbers(*it, 2, where, "\"position\"");
            position = Point{xy[0], xy[1]};
        }
        struct ButtonSpec {
            std::string title;
            bool isDefault{false};
            bool isCancel{false};
            bool enabled{true};
        };
        std::vector<ButtonSpec> buttons;
        const json& list = member(argument, "buttons", where);
        if (!list.is_array() || list.empty())
            fail(where, "\"buttons\" must be a non-empty array");
        int defaults = 0, cancels = 0;
        for (const auto& b : list) {
            if (!b.is_object())
                fail(where, "each button must be an object with a \"title\"");
            ButtonSpec entry{requireString(member(b, "title", where), where, "a button's \"title\"")};
            auto flag = [&](const char* key, bool fallback) {
                auto it = b.find(key);
                if (it == b.end())
                    return fallback;
                if (!it->is_boolean())
                    fail(where, std::string("a button's \"") + key + "\" must be true or false");
                return it->get<bool>();
            };
            entry.isDefault = flag("default", false);
            entry.isCancel = flag("cancel", false);
            entry.enabled = flag("enabled", true);
            defaults += entry.isDefault;
            cancels += entry.isCancel;
            buttons.push_back(std::move(entry));
        }
        if (defaults > 1 || cancels > 1)
            fail(where, "a dialog has at most one default and one cancel button");

        return [name, title, position, buttons](SimDesktop& desktop) -> std::string {
            SimApp* app = desktop.appNamed(name);
            if (!app)
                return "\"" + name + "\" is not running";
            Point origin = position.value_or(Point{});
            if (!position) {
                auto screens = desktop.screens().screens();
                Size screen = screens.empty() ? Size{1440, 900} : screens.front().frame.size;
                origin = {(screen.width - kDialogSize.width) / 2, screen.height / 4};
            }
            auto dialog = app->addWindow(title, origin, kDialogSize);
            dialog->setAttribute("AXSubrole", "AXDialog");
            float x = origin.x + kDialogSize.width - kMargin - kButtonSize.width;
            const float y = origin.y + kDialogSize.height - kMargin - kButtonSize.height;
            for (const auto& entry : buttons) {
                auto button = dialog->addButton(entry.title, {x, y}, kButtonSize, entry.enabled);
                if (entry.isDefault)
                    dialog->setAttribute("AXDefaultButton", button->element());
                if (entry.isCancel)
                    dialog->setAttribute("AXCancelButton", button->element());
                x -= kButtonSize.width + kButtonSpacing;
            }
            desktop.focusWindow(*app, dialog, true);
            return "";
        };
    }

    SimScenario& m_scenario;
    std::set<std::string> m_running; // application names running at the event being read
    std::set<int> m_pids;
    double m_lastTime{0};
};

// static
std::optional<SimScenario> SimScenario::fromJSON(const std::string& text, std::string& error)
{
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        error = std::string("scenario: not valid JSON: ") + e.what();
        return std::nullopt;
    }
    SimScenario scenario;
    try {
        Parser(scenario).parse(root);
    } catch (const ScenarioError& e) {
        error = e.message;
        return std::nullopt;
    } catch (const json::exception& e) {
        error = std::string("scenario: ") + e.what(); // a value out of range for its kind
        return std::nullopt;
    }
    error.clear();
    return scenario;
}

// static
std::optional<SimScenario> SimScenario::fromFile(const std::string& path, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::stringstream text;
    text << file.rdbuf();
    auto scenario = fromJSON(text.str(), error);
    if (!scenario)
        error = path + ": " + error;
    return scenario;
}

void SimScenario::schedule(SimDesktop& desktop) const
{
    if (m_screens)
        desktop.setScreens(*m_screens);
    if (m_pointer)
        desktop.userMovesPointer({m_pointer->first, m_pointer->second});
    for (const auto& [name, length] : m_sounds)
        desktop.addSound(name, length);
    if (!m_preferences.empty()) {
        bool stored = desktop.domainStore().update(desktop.applicationDomain(), [&](std::optional<Value::Dictionary>& domain) {
            if (!domain)
                domain.emplace();
            for (const auto& [key, value] : m_preferences)
                (*domain)[key] = value;
            return true;
        });
        if (!stored)
            desktop.systemLog().log("scenario: the starting preferences could not be stored");
    }
    for (const auto& entry : m_running) {
        if (entry.pid && pidInUse(desktop, entry.pid)) {
            desktop.systemLog().log("scenario: pid " + std::to_string(entry.pid) + " of \"" + entry.name + "\" is taken");
            continue;
        }
        if (entry.background)
            desktop.addBackgroundApp(entry.name, entry.path, entry.pid);
        else
            desktop.addRunningApp(entry.name, entry.bundle, entry.path, entry.pid);
    }
    for (const auto& event : m_events) {
        desktop.simRunLoop().post(event.at, [&desktop, event] {
            std::string problem = event.action(desktop);
            if (!problem.empty())
                desktop.systemLog().log("scenario: " + event.label + ": " + problem);
        });
    }
}

} // namespace velmora::sim
