#include "shared/preferences/PlistFileDomainStore.h"

#include "support/TemporaryDirectory.h"
#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using test::readWholeFile;
using test::TemporaryDirectory;
using test::writeWholeFile;

constexpr const char* kDomain = "com.example.test";

class PlistFileDomainStoreTest : public ::testing::Test {
protected:
    std::string domainFile() const { return m_dir.file(std::string(kDomain) + ".plist"); }

    bool put(PlistFileDomainStore& store, const std::string& key, Value value)
    {
        return store.update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
            if (!domain)
                domain.emplace();
            (*domain)[key] = std::move(value);
            return true;
        });
    }

    std::vector<std::string> directoryEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryDirectory m_dir;
    PlistFileDomainStore m_store{m_dir.path()};
};

TEST_F(PlistFileDomainStoreTest, ValuesKeepTheirKindsThroughTheFile)
{
    Value::Dictionary written {
        {"yes", Value(true)},
        {"no", Value(false)},
        {"one", Value(1)},
        {"negative", Value(int64_t{-5})},
        {"huge", Value(int64_t{9'000'000'000'000'000'000})},
        {"volume", Value(static_cast<double>(13.0f / 34.0f))},
        {"wholeReal", Value(1.0)},
        {"third", Value(1.0 / 3.0)},
        {"text", Value("a <b> & \"c\" \xc3\xa9")},
        {"empty", Value("")},
        {"list", Value(Value::Array {Value("Mail"), Value(2), Value(false), Value(Value::Array {})})},
        {"entry", Value(Value::Dictionary {{"Path", Value("/opt/app")}, {"Hide", Value(false)}})},
    };
    ASSERT_TRUE(m_store.update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
        EXPECT_FALSE(domain.has_value());
        domain = written;
        return true;
    }));

    // A second store stands for another process reading the same file.
    PlistFileDomainStore other(m_dir.path());
    auto read = other.read(kDomain);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, written); // equality includes each value's kind
    EXPECT_EQ(valueForKey(*read, "wholeReal").type(), Value::Type::Real);
    EXPECT_EQ(valueForKey(*read, "one").type(), Value::Type::Integer);
    EXPECT_EQ(static_cast<float>(valueForKey(*read, "volume").doubleValue()), 13.0f / 34.0f);

    EXPECT_EQ(readWholeFile(domainFile()).rfind("<?xml", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(domainFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PlistFileDomainStoreTest, NullsAreDroppedWhenWritten)
{
    ASSERT_TRUE(put(m_store, "list", Value(Value::Array {Value(), Value("kept")})));
    ASSERT_TRUE(put(m_store, "nothing", Value()));
    auto read = m_store.read(kDomain);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, (Value::Dictionary {{"list", Value(Value::Array {Value("kept")})}}));
}

TEST_F(PlistFileDomainStoreTest, MissingDirectoryIsCreatedPrivateOnFirstWrite)
{
    std::string nested = m_dir.file("config/velmora");
    PlistFileDomainStore store(nested);
    EXPECT_FALSE(store.read(kDomain).has_value());
    EXPECT_FALSE(std::filesystem::exists(nested)); // reading creates nothing

    ASSERT_TRUE(put(store, "k", Value(1)));
    for (const std::string& dir : {m_dir.file("config"), nested}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.c_str(), &st), 0) << dir;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
    }
    EXPECT_TRUE(store.read(kDomain).has_value());
}

TEST_F(PlistFileDomainStoreTest, DomainNamesCannotLeaveTheDirectory)
{
    for (std::string name : {"", "../escape", "a/b", ".hidden"}) {
        EXPECT_EQ(m_store.pathForDomain(name), "") << name;
        EXPECT_FALSE(m_store.read(name).has_value()) << name;
        ::testing::internal::CaptureStderr();
        bool stored = m_store.update(name, [](std::optional<Value::Dictionary>& domain) {
            domain.emplace();
            return true;
        });
        ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(stored) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_dir.path()).parent_path() / "escape.plist"));
    EXPECT_EQ(m_store.pathForDomain("loginwindow"), m_dir.file("loginwindow.plist"));
}

TEST_F(PlistFileDomainStoreTest, RemovingAndDecliningChanges)
{
    // A declined change on an absent domain creates no file.
    EXPECT_TRUE(m_store.update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain.emplace();
        return false;
    }));
    EXPECT_FALSE(std::filesystem::exists(domainFile()));

    ASSERT_TRUE(put(m_store, "k", Value("v")));
    std::string before = readWholeFile(domainFile());
    EXPECT_TRUE(m_store.update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain->clear();
        return false;
    }));
    EXPECT_EQ(readWholeFile(domainFile()), before);

    EXPECT_TRUE(m_store.update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain.reset();
        return true;
    }));
    EXPECT_FALSE(std::filesystem::exists(domainFile()));
    EXPECT_FALSE(m_store.read(kDomain).has_value());
}

TEST_F(PlistFileDomainStoreTest, CorruptFileIsReadAsEmptyAndKeptAsideBeforeTheNextWrite)
{
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>half";
    writeWholeFile(domainFile(), garbage);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(m_store.read(kDomain).has_value());
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(domainFile()), std::string::npos) << log;
    EXPECT_NE(log.find("unreadable"), std::string::npos) << log;

    // A change that declines must not disturb the damaged file.
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(m_store.update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        EXPECT_FALSE(domain.has_value());
        return false;
    }));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readWholeFile(domainFile()), garbage);

    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(put(m_store, "fresh", Value(true)));
    log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt"), garbage);
    EXPECT_NE(log.find(domainFile() + ".corrupt"), std::string::npos) << log;
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary {{"fresh", Value(true)}}));

    // A second damaged file does not clobber the first one kept aside. A
    // well-formed property list whose root is not a dictionary is damaged too.
    const std::string notADictionary = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>";
    writeWholeFile(domainFile(), notADictionary);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(m_store.read(kDomain).has_value());
    ASSERT_TRUE(put(m_store, "fresher", Value(true)));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt"), garbage);
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt.1"), notADictionary);
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary {{"fresher", Value(true)}}));
}

TEST_F(PlistFileDomainStoreTest, EmptyFileCountsAsDamaged)
{
    writeWholeFile(domainFile(), "");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(m_store.read(kDomain).has_value());
    ASSERT_TRUE(put(m_store, "k", Value(1)));
    ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::exists(domainFile() + ".corrupt"));
}

// Restores an environment variable when the scope ends.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const char* name) : m_name(name)
    {
        if (const char* value = std::getenv(name))
            m_saved = value;
    }
    ~ScopedEnvironment()
    {
        if (m_saved)
            ::setenv(m_name, m_saved->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    void set(const char* value) { value ? ::setenv(m_name, value, 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

TEST(PlistFileDomainStoreDirectoryTest, DefaultDirectoryFollowsXdgConfigHomeThenHome)
{
    ScopedEnvironment xdg("XDG_CONFIG_HOME");
    ScopedEnvironment home("HOME");
    home.set("/home/someone");

    xdg.set("/srv/config");
    EXPECT_EQ(PlistFileDomainStore::defaultDirectory(), "/srv/config/velmora");
    EXPECT_EQ(PlistFileDomainStore().directory(), "/srv/config/velmora");
    xdg.set("relative/config"); // not an absolute path: ignored
    EXPECT_EQ(PlistFileDomainStore::defaultDirectory(), "/home/someone/.config/velmora");
    xdg.set(nullptr);
    EXPECT_EQ(PlistFileDomainStore::defaultDirectory(), "/home/someone/.config/velmora");
}

// --- Several processes ------------------------------------------------------

// Child processes that start together when the gate opens and report through
// their exit status. A reaper kills them if they have not finished in time.
class ChildProcesses {
public:
    ChildProcesses()
    {
        if (::pipe(m_gate) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~ChildProcesses()
    {
        closeGate();
        for (pid_t pid : m_pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // `body` runs in the child and returns its exit status.
    template<typename Body>
    void spawn(Body body)
    {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(m_gate[1]);
            char c;
            while (::read(m_gate[0], &c, 1) < 0 && errno == EINTR) { }
            ::_exit(body());
        }
        ASSERT_GT(pid, 0);
        m_pids.push_back(pid);
    }

    void open() { closeGate(); }

    bool running() const { return !m_pids.empty(); }

    // Collects the children that have ended; false once the deadline passed.
    bool reap(std::chrono::steady_clock::time_point deadline)
    {
        for (auto it = m_pids.begin(); it != m_pids.end();) {
            int status = 0;
            if (::waitpid(*it, &status, WNOHANG) == *it) {
                m_statuses.push_back(status);
                it = m_pids.erase(it);
            } else {
                ++it;
            }
        }
        return std::chrono::steady_clock::now() < deadline;
    }

    bool waitAll(std::chrono::seconds timeout)
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (running()) {
            if (!reap(deadline))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    bool allSucceeded() const
    {
        for (int status : m_statuses) {
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                return false;
        }
        return !m_statuses.empty();
    }

private:
    void closeGate()
    {
        for (int& fd : m_gate) {
            if (fd >= 0)
                ::close(std::exchange(fd, -1));
        }
    }

    int m_gate[2]{-1, -1};
    std::vector<pid_t> m_pids;
    std::vector<int> m_statuses;
};

TEST_F(PlistFileDomainStoreTest, TwoProcessesDoingReadModifyWriteLoseNoUpdate)
{
    constexpr int kCycles = 500;
    ChildProcesses children;
    for (const char* counter : {"counterA", "counterB"}) {
        children.spawn([&, counter] {
            PlistFileDomainStore store(m_dir.path());
            for (int i = 0; i < kCycles; ++i) {
                bool stored = store.update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
                    if (!domain)
                        domain.emplace();
                    Value& count = (*domain)[counter];
                    count = Value(count.integerValue() + 1);
                    Value& shared = (*domain)["shared"];
                    if (!shared.isArray())
                        shared = Value(Value::Array {});
                    shared.array()->push_back(Value(counter));
                    return true;
                });
                if (!stored)
                    return 1;
            }
            return 0;
        });
    }
    children.open();
    ASSERT_TRUE(children.waitAll(std::chrono::seconds(120))) << "children did not finish";
    ASSERT_TRUE(children.allSucceeded());

    auto domain = m_store.read(kDomain);
    ASSERT_TRUE(domain.has_value());
    EXPECT_EQ(valueForKey(*domain, "counterA"), Value(kCycles));
    EXPECT_EQ(valueForKey(*domain, "counterB"), Value(kCycles));
    const Value::Array* shared = valueForKey(*domain, "shared").array();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->size(), 2u * kCycles);
    EXPECT_EQ(std::count(shared->begin(), shared->end(), Value("counterA")), kCycles);
    // No temporary file is left behind, and nothing was taken for damaged.
    EXPECT_EQ(directoryEntries(), (std::vector<std::string> {domainFile().substr(m_dir.path().size() + 1),
                                      std::string(kDomain) + ".plist.lock"}));
}

TEST_F(PlistFileDomainStoreTest, ReaderNeverSeesAPartlyWrittenFile)
{
    // Large enough that a write in place would be caught half done.
    constexpr size_t kEntries = 4000;
    constexpr int kWrites = 150;
    ChildProcesses children;
    children.spawn([&] {
        PlistFileDomainStore store(m_dir.path());
        for (int generation = 1; generation <= kWrites; ++generation) {
            bool stored = store.update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
                domain = Value::Dictionary {
                    {"generation", Value(generation)},
                    {"payload", Value(Value::Array(kEntries, Value("entry-" + std::to_string(generation))))},
                };
                return true;
            });
            if (!stored)
                return 1;
        }
        return 0;
    });
    children.open();

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int wholeReads = 0;
    int64_t lastGeneration = 0;
    bool seenFile = false;
    while (children.running() && children.reap(deadline)) {
        auto domain = m_store.read(kDomain);
        if (!domain) {
            // Only before the first write may the domain be absent.
            EXPECT_FALSE(seenFile) << "the file could not be read after " << wholeReads << " reads";
            if (seenFile)
                break;
            continue;
        }
        seenFile = true;
        const Value::Array* payload = valueForKey(*domain, "payload").array();
        ASSERT_NE(payload, nullptr);
        int64_t generation = valueForKey(*domain, "generation").integerValue();
        ASSERT_EQ(payload->size(), kEntries);
        EXPECT_EQ(payload->back(), Value("entry-" + std::to_string(generation)));
        EXPECT_GE(generation, lastGeneration);
        lastGeneration = generation;
        ++wholeReads;
    }
    ASSERT_TRUE(children.waitAll(std::chrono::seconds(60)));
    EXPECT_TRUE(children.allSucceeded());
    EXPECT_GT(wholeReads, 10); // the reader really ran alongside the writer
    EXPECT_EQ(valueForKey(*m_store.read(kDomain), "generation"), Value(kWrites));
}

} // namespace
} // namespace velmora
