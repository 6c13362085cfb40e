#include "platform/linux/XdgAutostartStore.h"

#include "platform/linux/RoutingSettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "shared/loginitems/AutostartSynchronizer.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <gio/gdesktopappinfo.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace velmora::linux_desktop::testing {
namespace {

class XdgAutostartStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_config / "autostart");
        write("other.desktop", "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other-tool --tray %U\n");
        write("switched-off.desktop", "[Desktop Entry]\nType=Application\nExec=/usr/bin/off\nHidden=true\n");
        write("gnome-off.desktop", "[Desktop Entry]\nType=Application\nExec=/usr/bin/goff\nX-GNOME-Autostart-enabled=false\n");
        write("notes.txt", "not an entry");
    }

    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_config / "autostart" / name) << text;
    }
    std::string contents(const std::string& name)
    {
        std::ifstream in(m_config / "autostart" / name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Value::Array list(XdgAutostartStore& store)
    {
        auto domain = store.read("loginwindow");
        const Value::Array* items = domain ? valueForKey(*domain, "AutoLaunchedApplicationDictionary").array() : nullptr;
        return items ? *items : Value::Array{};
    }
    static std::string pathOf(const Value& entry) { return valueForKey(*entry.dictionary(), "Path").description(); }

    TemporaryFolder m_config;
};

TEST_F(XdgAutostartStoreTest, EntriesThatStartAtLoginReadAsLoginItems)
{
    XdgAutostartStore store(m_config.path().string());
    auto items = list(store);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(pathOf(items[0]), "/usr/bin/other-tool");
    EXPECT_EQ(valueForKey(*items[0].dictionary(), "Hide"), Value(false));
    EXPECT_FALSE(store.read("com.brightfen.velmora"));

    XdgAutostartStore empty((m_config / "nowhere").string());
    EXPECT_FALSE(empty.read("loginwindow"));
}

TEST_F(XdgAutostartStoreTest, AddingAndRemovingTouchesOnlyOurOwnWholeFile)
{
    XdgAutostartStore store(m_config.path().string());
    const std::string otherBefore = contents("other.desktop");
    const std::string program = "/opt/Velmora BG/VelmoraBG";

    ASSERT_TRUE(store.update("loginwindow", [&](std::optional<Value::Dictionary>& domain) {
        auto& items = *(*domain)["AutoLaunchedApplicationDictionary"].array();
        items.push_back(Value::Dictionary{{"Path", program}, {"Hide", false}});
        return true;
    }));
    EXPECT_TRUE(fs::exists(m_config / "autostart" / "VelmoraBG.desktop"));
    EXPECT_NE(contents("VelmoraBG.desktop").find("Exec=\"/opt/Velmora BG/VelmoraBG\""), std::string::npos);
    auto items = list(store);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(pathOf(items[1]), program) << "an added item stands last";
    EXPECT_EQ(contents("other.desktop"), otherBefore);

    // Remove ours by its path, as the login-items code does.
    ASSERT_TRUE(store.update("loginwindow", [&](std::optional<Value::Dictionary>& domain) {
        auto& entries = *(*domain)["AutoLaunchedApplicationDictionary"].array();
        std::erase_if(entries, [&](const Value& e) { return pathOf(e) == program; });
        return true;
    }));
    EXPECT_FALSE(fs::exists(m_config / "autostart" / "VelmoraBG.desktop"));
    EXPECT_EQ(contents("other.desktop"), otherBefore);
    EXPECT_TRUE(fs::exists(m_config / "autostart" / "switched-off.desktop"));

    // A declined change and a wholesale removal leave every file alone.
    EXPECT_TRUE(store.update("loginwindow", [](std::optional<Value::Dictionary>&) { return false; }));
    EXPECT_FALSE(store.update("loginwindow", [](std::optional<Value::Dictionary>& domain) {
        domain.reset();
        return true;
    }));
    EXPECT_EQ(contents("other.desktop"), otherBefore);
}

TEST_F(XdgAutostartStoreTest, RemovingTheAgentDeletesEveryFileThatStartsItAndNoOther)
{
    const std::string agent = "/opt/velmora/VelmoraBG";
    XdgAutostartStore store(m_config.path().string());
    sim::SimDesktop desktop(&store);
    ScopedPlatform scoped(desktop);
    AutostartSynchronizer::of(desktop).setLaunchesAtLogin(true, agent);
    ASSERT_TRUE(fs::exists(m_config / "autostart" / "VelmoraBG.desktop"));
    // A second copy of ours, and one another tool wrote with arguments of its own.
    fs::copy_file(m_config / "autostart" / "VelmoraBG.desktop", m_config / "autostart" / "VelmoraBG-2.desktop");
    write("velmora-agent.desktop", "[Desktop Entry]\nType=Application\nName=Velmora\nExec=" + agent + " --quiet\n");
    write("look-alike.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/velmora/VelmoraBG-helper\n");
    const std::string otherBefore = contents("other.desktop");

    AutostartSynchronizer::of(desktop).setLaunchesAtLogin(false, agent);
    for (const char* gone : {"VelmoraBG.desktop", "VelmoraBG-2.desktop", "velmora-agent.desktop"})
        EXPECT_FALSE(fs::exists(m_config / "autostart" / gone)) << gone;
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(agent));
    EXPECT_EQ(contents("other.desktop"), otherBefore);
    for (const char* kept : {"look-alike.desktop", "switched-off.desktop", "gnome-off.desktop", "notes.txt"})
        EXPECT_TRUE(fs::exists(m_config / "autostart" / kept)) << kept;
}

TEST_F(XdgAutostartStoreTest, TheRouterSendsLoginItemsToAutostartAndTheRestElsewhere)
{
    class MemoryStore final : public SettingsStore {
    public:
        std::optional<Value::Dictionary> read(const std::string& domain) override
        {
            auto it = domains.find(domain);
            return it == domains.end() ? std::nullopt : std::optional(it->second);
        }
        bool update(const std::string& domain, const Change& change) override
        {
            auto current = read(domain);
            if (change(current) && current)
                domains[domain] = *current;
            return true;
        }
        std::map<std::string, Value::Dictionary> domains;
    } memory;
    XdgAutostartStore autostart(m_config.path().string());
    RoutingSettingsStore router(memory);
    router.route("loginwindow", autostart);

    ASSERT_TRUE(router.update("com.brightfen.velmora", [](std::optional<Value::Dictionary>& d) {
        d = Value::Dictionary{{"playsSoundOnMove", true}};
        return true;
    }));
    EXPECT_EQ(memory.domains.count("com.brightfen.velmora"), 1u);
    auto loginItems = router.read("loginwindow");
    ASSERT_TRUE(loginItems);
    EXPECT_EQ(valueForKey(*loginItems, "AutoLaunchedApplicationDictionary").array()->size(), 1u);
    EXPECT_EQ(memory.domains.count("loginwindow"), 0u);
}

// Adds a login item for `program` and answers the new entry's file name.
std::string addLoginItem(XdgAutostartStore& store, const std::string& program)
{
    std::string file;
    store.update("loginwindow", [&](std::optional<Value::Dictionary>& domain) {
        (*domain)["AutoLaunchedApplicationDictionary"].array()->push_back(Value::Dictionary{{"Path", program}, {"Hide", false}});
        return true;
    });
    const auto domain = store.read("loginwindow");
    for (const auto& entry : *valueForKey(*domain, "AutoLaunchedApplicationDictionary").array()) {
        if (valueForKey(*entry.dictionary(), "Path").description() == program)
            file = valueForKey(*entry.dictionary(), "AutostartFile").description();
    }
    return file;
}

TEST_F(XdgAutostartStoreTest, AnInstallPathWithPercentAndQuotesStartsTheRightProgramAndReadsBack)
{
    // An agent installed where every character the Exec rules single out
    // appears: a space, '%', '"', '$', '`', '\'.
    const fs::path folder = m_config / "opt" / "100% \"sure\" $HOME `x` back\\slash";
    fs::create_directories(folder);
    const fs::path program = folder / "VelmoraBG";
    const fs::path ran = m_config / "ran";
    std::ofstream(program) << "#!/bin/sh\nprintf '%s' \"$0\" > '" << ran.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);

    XdgAutostartStore store(m_config.path().string());
    const std::string file = addLoginItem(store, program.string());
    ASSERT_EQ(file, "VelmoraBG.desktop");
    const std::string text = contents(file);
    EXPECT_NE(text.find("100%% "), std::string::npos) << "a literal '%' is written \"%%\": " << text;
    EXPECT_EQ(text.find("100% "), std::string::npos) << text;

    // Read back as the program it is, so the login-items code finds its own.
    auto items = list(store);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(pathOf(items[1]), program.string());

    // And GIO, as a desktop starting login items does, starts that program.
    auto* info = g_desktop_app_info_new_from_filename((m_config / "autostart" / file).c_str());
    ASSERT_TRUE(info) << "GIO ignores the entry: " << text;
    ASSERT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, nullptr));
    g_object_unref(info);
    for (int i = 0; i < 500 && !fs::exists(ran); ++i)
        g_usleep(10000);
    std::ifstream in(ran);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), program.string());
}

TEST_F(XdgAutostartStoreTest, AnOrdinaryInstallPathKeepsItsPlainExecLine)
{
    XdgAutostartStore store(m_config.path().string());
    const std::string file = addLoginItem(store, "/usr/bin/VelmoraBG");
    EXPECT_NE(contents(file).find("\nExec=\"/usr/bin/VelmoraBG\"\n"), std::string::npos) << contents(file);
}

TEST_F(XdgAutostartStoreTest, ANewEntryIsDescribedAsTheProgramsOwnLauncher)
{
    const fs::path data = m_config / "data";
    fs::create_directories(data / "applications");
    std::ofstream(data / "applications" / "org.example.Agent.desktop")
        << "[Desktop Entry]\nType=Application\nName=Example agent\nName[de]=Beispieldienst\n"
           "Comment=Watches the example\nIcon=example\nExec=/opt/example/agent --quiet\nNoDisplay=true\n";
    std::ofstream(data / "applications" / "org.example.Other.desktop")
        << "[Desktop Entry]\nType=Application\nName=Other\nComment=Not ours\nExec=/opt/example/other\n";
    XdgAutostartStore store(m_config.path().string(), {(m_config / "none").string(), data.string()});

    const std::string described = contents(addLoginItem(store, "/opt/example/agent"));
    EXPECT_NE(described.find("\nName=Example agent\n"), std::string::npos) << described;
    EXPECT_NE(described.find("\nName[de]=Beispieldienst\n"), std::string::npos) << described;
    EXPECT_NE(described.find("\nComment=Watches the example\n"), std::string::npos) << described;
    EXPECT_NE(described.find("\nIcon=example\n"), std::string::npos) << described;
    EXPECT_EQ(described.find("NoDisplay"), std::string::npos) << "only the description is taken: " << described;
    EXPECT_EQ(described.find("--quiet"), std::string::npos) << "the entry starts the program alone: " << described;

    // Without a launcher of its own (a build folder's agent) the file's name names it.
    const std::string plain = contents(addLoginItem(store, "/home/me/velmora/build/VelmoraBG"));
    EXPECT_NE(plain.find("\nName=VelmoraBG\n"), std::string::npos) << plain;
    EXPECT_EQ(plain.find("Comment="), std::string::npos) << plain;

    // What desktops read: both pass the desktop-entry checks.
    for (const char* file : {"agent.desktop", "VelmoraBG.desktop"}) {
        const std::string command = "timeout 20 desktop-file-validate '" + (m_config / "autostart" / file).string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << file;
    }
}

TEST_F(XdgAutostartStoreTest, FieldCodesAreUndoneWhenAnEntryIsRead)
{
    write("percent.desktop", "[Desktop Entry]\nType=Application\nExec=\"/opt/50%% off/tool\" --files %U\n");
    XdgAutostartStore store(m_config.path().string());
    std::vector<std::string> paths;
    for (const auto& item : list(store))
        paths.push_back(pathOf(item));
    EXPECT_NE(std::find(paths.begin(), paths.end(), "/opt/50% off/tool"), paths.end()) << ::testing::PrintToString(paths);
}

TEST_F(XdgAutostartStoreTest, ALinkInPlaceOfTheLockIsNotFollowed)
{
    fs::create_directories(m_config / "velmora");
    const fs::path target = m_config / "planted";
    fs::create_symlink(target, m_config / "velmora" / "loginwindow.lock");
    XdgAutostartStore store(m_config.path().string());
    EXPECT_FALSE(store.update("loginwindow", [](std::optional<Value::Dictionary>& domain) {
        (*domain)["AutoLaunchedApplicationDictionary"].array()->push_back(Value::Dictionary{{"Path", "/usr/bin/x"}, {"Hide", false}});
        return true;
    }));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(m_config / "autostart" / "x.desktop"));
}

} // namespace
} // namespace velmora::linux_desktop::testing
