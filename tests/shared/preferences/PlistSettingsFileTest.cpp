#include "shared/preferences/PlistSettingsFile.h"

#include "support/TemporaryDirectory.h"
#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <csignal>
#include <filesystem>
#include <optional>
#include <pthread.h>
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

class PlistSettingsFileTest : public ::testing::Test {
protected:
    // What `work` logged: without a platform the store logs to stderr.
    static std::string stderrOf(const std::function<void()>& work)
    {
        ::testing::internal::CaptureStderr();
        work();
        return ::testing::internal::GetCapturedStderr();
    }

    std::string domainFile() const { return m_dir.file(std::string(kDomain) + ".plist"); }

    bool put(PlistSettingsFile& store, const std::string& key, Value value)
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
    PlistSettingsFile m_store{m_dir.path()};
};

TEST_F(PlistSettingsFileTest, ValuesKeepTheirKindsThroughTheFile)
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
        (*domain)["nothing"] = Value(); // nulls are dropped when written
        (*domain)["list"].array()->push_back(Value());
        return true;
    }));

    // A second store stands for another process reading the same file.
    PlistSettingsFile other(m_dir.path());
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

TEST_F(PlistSettingsFileTest, MissingDirectoryIsCreatedPrivateOnFirstWrite)
{
    std::string nested = m_dir.file("config/velmora");
    PlistSettingsFile store(nested);
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

TEST_F(PlistSettingsFileTest, DomainNamesCannotLeaveTheDirectory)
{
    for (std::string name : {"", "../escape", "a/b", ".hidden"}) {
        EXPECT_EQ(m_store.pathForDomain(name), "") << name;
        EXPECT_FALSE(m_store.read(name).has_value()) << name;
        bool stored = true;
        stderrOf([&] { stored = m_store.update(name, [](std::optional<Value::Dictionary>& domain) { return domain.emplace(), true; }); });
        EXPECT_FALSE(stored) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_dir.path()).parent_path() / "escape.plist"));
    EXPECT_EQ(m_store.pathForDomain("loginwindow"), m_dir.file("loginwindow.plist"));
}

TEST_F(PlistSettingsFileTest, RemovingAndDecliningChanges)
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

TEST_F(PlistSettingsFileTest, CorruptFileIsReadAsEmptyAndKeptAsideBeforeTheNextWrite)
{
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>half";
    writeWholeFile(domainFile(), garbage);

    std::string log = stderrOf([&] { EXPECT_FALSE(m_store.read(kDomain).has_value()); });
    EXPECT_NE(log.find(domainFile()), std::string::npos) << log;
    EXPECT_NE(log.find("unreadable"), std::string::npos) << log;

    // A change that declines must not disturb the damaged file.
    stderrOf([&] {
        EXPECT_TRUE(m_store.update(kDomain, [](std::optional<Value::Dictionary>& domain) {
            EXPECT_FALSE(domain.has_value());
            return false;
        }));
    });
    EXPECT_EQ(readWholeFile(domainFile()), garbage);

    log = stderrOf([&] { ASSERT_TRUE(put(m_store, "fresh", Value(true))); });
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt"), garbage);
    EXPECT_NE(log.find(domainFile() + ".corrupt"), std::string::npos) << log;
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary {{"fresh", Value(true)}}));

    // A second damaged file does not clobber the first one kept aside. A
    // well-formed property list whose root is not a dictionary is damaged too.
    const std::string notADictionary = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>";
    writeWholeFile(domainFile(), notADictionary);
    stderrOf([&] { EXPECT_FALSE(m_store.read(kDomain).has_value()); ASSERT_TRUE(put(m_store, "fresher", Value(true))); });
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt"), garbage);
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt.1"), notADictionary);
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary {{"fresher", Value(true)}}));

    // So is an empty file.
    writeWholeFile(domainFile(), "");
    stderrOf([&] { EXPECT_FALSE(m_store.read(kDomain).has_value()); ASSERT_TRUE(put(m_store, "k", Value(1))); });
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt.2"), "");
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

TEST_F(PlistSettingsFileTest, TwoProcessesDoingReadModifyWriteLoseNoUpdate)
{
    constexpr int kCycles = 500;
    ChildProcesses children;
    for (const char* counter : {"counterA", "counterB"}) {
        children.spawn([&, counter] {
            PlistSettingsFile store(m_dir.path());
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

TEST_F(PlistSettingsFileTest, ReaderNeverSeesAPartlyWrittenFile)
{
    // Large enough that a write in place would be caught half done.
    constexpr size_t kEntries = 4000;
    constexpr int kWrites = 150;
    ChildProcesses children;
    children.spawn([&] {
        PlistSettingsFile store(m_dir.path());
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

// Runs `work` on a thread with a small stack: recursion that grows with the
// file, not with a fixed limit, would overflow it.
void onSmallStack(const std::function<void()>& work)
{
    constexpr size_t kStack = 256 * 1024;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStack);
    pthread_t thread;
    auto* job = new std::function<void()>(work);
    ASSERT_EQ(pthread_create(&thread, &attributes, [](void* argument) -> void* {
        std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(argument));
        (*owned)();
        return nullptr;
    }, job), 0);
    pthread_attr_destroy(&attributes);
    pthread_join(thread, nullptr);
}

std::string xmlWithNestedArrays(int levels)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>list</key>";
    for (int i = 0; i < levels; ++i)
        xml += "<array>";
    for (int i = 0; i < levels; ++i)
        xml += "</array>";
    return xml + "</dict>\n</plist>\n";
}

// A binary property list: a dictionary {"list": A1} where each array Ai
// holds A(i+1) and the last one is empty.
std::string binaryWithNestedArrays(int levels)
{
    std::string objects;
    std::vector<uint32_t> offsets;
    const auto ref = [](uint32_t n) { return std::string{static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)}; };
    // 0: the root dictionary, 1: its key, 2...: the arrays.
    offsets.push_back(8 + objects.size());
    objects += "\xD1" + ref(1) + ref(2);
    offsets.push_back(8 + objects.size());
    objects += "\x54list";
    for (int i = 0; i < levels; ++i) {
        offsets.push_back(8 + objects.size());
        objects += i + 1 < levels ? "\xA1" + ref(static_cast<uint32_t>(i + 3)) : std::string("\xA0");
    }
    std::string file = "bplist00" + objects;
    const uint64_t tableOffset = file.size();
    for (uint32_t offset : offsets)
        file += std::string{static_cast<char>(offset >> 24), static_cast<char>(offset >> 16), static_cast<char>(offset >> 8), static_cast<char>(offset)};
    std::string trailer(32, '\0');
    trailer[6] = 4; // offset size
    trailer[7] = 3; // reference size
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = static_cast<char>(static_cast<uint64_t>(offsets.size()) >> (56 - 8 * i));
        trailer[24 + i] = static_cast<char>(tableOffset >> (56 - 8 * i));
    }
    return file + trailer;
}

TEST_F(PlistSettingsFileTest, DeeplyNestedFilesAreUnreadableWithoutOverflowingTheStackAndKeptAside)
{
    // 50,000 levels, 750 KB, as the report had it; once a crash at start.
    for (const std::string& deep : {xmlWithNestedArrays(50000), binaryWithNestedArrays(50000)}) {
        SCOPED_TRACE(deep.substr(0, 8));
        writeWholeFile(domainFile(), deep);
        const std::string log = stderrOf([&] { onSmallStack([&] { EXPECT_FALSE(PlistSettingsFile(m_dir.path()).read(kDomain).has_value()); }); });
        EXPECT_NE(log.find("nested deeper than 64 levels"), std::string::npos) << log;

        bool stored = false;
        stderrOf([&] { onSmallStack([&] { stored = put(m_store, "fresh", Value(true)); }); });
        EXPECT_TRUE(stored);
        EXPECT_TRUE(readWholeFile(domainFile() + ".corrupt") == deep) << "not kept whole";
        EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary{{"fresh", Value(true)}}));
        std::filesystem::remove(domainFile() + ".corrupt");
    }
}

TEST_F(PlistSettingsFileTest, NestingUpToTheLimitReadsInBothFormats)
{
    const int limit = PlistSettingsFile::kMaxNesting;
    // The root dictionary is one level.
    for (const std::string& file : {xmlWithNestedArrays(limit - 1), binaryWithNestedArrays(limit - 1)}) {
        writeWholeFile(domainFile(), file);
        auto read = m_store.read(kDomain);
        ASSERT_TRUE(read.has_value()) << file.substr(0, 8);
        int depth = 1; // the root dictionary
        for (const Value* level = &valueForKey(*read, "list"); level; ++depth) {
            ASSERT_TRUE(level->array());
            level = level->array()->empty() ? nullptr : &level->array()->front();
        }
        EXPECT_EQ(depth, limit) << file.substr(0, 8);
    }
    for (const std::string& file : {xmlWithNestedArrays(limit), binaryWithNestedArrays(limit)}) {
        writeWholeFile(domainFile(), file);
        stderrOf([&] { EXPECT_FALSE(m_store.read(kDomain).has_value()) << file.substr(0, 8); });
    }

    // Nor can anything deeper be written.
    std::filesystem::remove(domainFile());
    Value deep = Value::Array{}; // within the root dictionary: limit - 1 arrays
    for (int i = 2; i < limit; ++i)
        deep = Value::Array{deep};
    EXPECT_TRUE(put(m_store, "deep", deep));
    const std::string log = stderrOf([&] { EXPECT_FALSE(put(m_store, "deeper", Value::Array{deep})); });
    EXPECT_NE(log.find("nesting deeper than 64 levels"), std::string::npos) << log;
    EXPECT_EQ(valueForKey(*m_store.read(kDomain), "deep"), deep);
}

TEST_F(PlistSettingsFileTest, WhatOtherWritersPutInAValidFileStillReads)
{
    // Comments, a DOCTYPE with an internal subset, CDATA, entities: all
    // libplist reads, so must the nesting check.
    writeWholeFile(domainFile(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist [ <!ELEMENT plist ANY> ]>\n"
        "<!-- <array><array> in a comment -->\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "  <key>a</key><string><![CDATA[<dict> & </array>]]> &amp; <!-- x --></string>\n"
        "  <key>b</key><array><true/><integer>3</integer><dict/></array>\n"
        "</dict>\n</plist>\n");
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary{{"a", Value("<dict> & </array> & ")},
                                         {"b", Value(Value::Array{Value(true), Value(3), Value(Value::Dictionary{})})}}));

    // And binary property lists, as libplist writes them.
    plist_t root = plist_new_dict();
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("Mail"));
    plist_array_append_item(list, plist_new_dict());
    plist_dict_set_item(root, "list", list);
    char* binary = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &binary, &length);
    writeWholeFile(domainFile(), std::string(binary, length));
    plist_to_bin_free(binary);
    plist_free(root);
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary{{"list", Value(Value::Array{Value("Mail"), Value(Value::Dictionary{})})}}));
}

TEST_F(PlistSettingsFileTest, AFileOverTheSizeLimitIsNotParsedAndIsKeptAsideWhole)
{
    // Valid, but of a million keys' size: not read at all, never deleted.
    std::string big = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key><string>";
    big += std::string(PlistSettingsFile::kMaxFileSize, 'x');
    big += "</string></dict></plist>";
    writeWholeFile(domainFile(), big);
    std::string log = stderrOf([&] {
        EXPECT_FALSE(m_store.read(kDomain).has_value());
        EXPECT_FALSE(m_store.read(kDomain).has_value());
    });
    EXPECT_NE(log.find("larger than 4 MiB"), std::string::npos) << log;
    EXPECT_EQ(log.find("unreadable"), log.rfind("unreadable")) << "logged once while the file stays the same: " << log;

    log = stderrOf([&] { ASSERT_TRUE(put(m_store, "fresh", Value(true))); });
    EXPECT_NE(log.find(".corrupt"), std::string::npos) << log;
    EXPECT_TRUE(readWholeFile(domainFile() + ".corrupt") == big) << "not kept whole";
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary{{"fresh", Value(true)}}));
}

TEST_F(PlistSettingsFileTest, OnlyTextXmlCanCarryIsStorable)
{
    for (std::string_view text : {"", "Mail", "tab\tline\nreturn\r", "\xc3\xa9t\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
             "\xef\xbf\xbd", "\xed\x9f\xbf"}) {
        EXPECT_TRUE(PlistSettingsFile::isStorableText(text)) << text;
    }
    for (std::string_view text : {std::string_view("a\0b", 3), std::string_view("\x01"), std::string_view("bell\x07"),
             std::string_view("esc\x1b[0m"), std::string_view("del\x7f"), std::string_view("\xc2\x85"), // NEL, a C1 control
             std::string_view("\xe9t\xe9"), // Latin-1
             std::string_view("\xc3"), std::string_view("\xc0\xaf"), std::string_view("\xed\xa0\x80"), // cut short, overlong, surrogate
             std::string_view("\xef\xbf\xbe"), std::string_view("\xf4\x90\x80\x80"), std::string_view("\xff")}) {
        EXPECT_FALSE(PlistSettingsFile::isStorableText(text)) << ::testing::PrintToString(std::string(text));
    }
}

TEST_F(PlistSettingsFileTest, TextXmlCannotCarryIsRefusedAndNothingIsWritten)
{
    ASSERT_TRUE(put(m_store, "name", Value("Mail")));
    const std::string before = readWholeFile(domainFile());
    for (const Value& bad : {Value("Fin\x01" "der"), Value("Caf\xe9"), Value(Value::Array{Value("ok"), Value("no\x1b")}),
             Value(Value::Dictionary{{"key\x02", Value(1)}})}) {
        const std::string log = stderrOf([&] { EXPECT_FALSE(put(m_store, "name", bad)) << bad.description(); });
        EXPECT_NE(log.find("not UTF-8 or holds control characters"), std::string::npos) << log;
        EXPECT_EQ(readWholeFile(domainFile()), before);
    }
    stderrOf([&] { EXPECT_FALSE(put(m_store, "bad\x03key", Value(1))); });
    EXPECT_EQ(readWholeFile(domainFile()), before);
}

TEST_F(PlistSettingsFileTest, RawControlCharactersAnEarlierVersionWroteAreLeftOutAndTheFileKeptAside)
{
    // As the store wrote them before it refused them: raw, an invalid file.
    const std::string written =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>ignoredApps</key>\n\t<array>\n\t\t<string>Mail</string>\n\t\t<string>Fin\x01" "der</string>\n"
        "\t\t<string>Caf\xe9</string>\n\t</array>\n\t<key>bad\x02</key>\n\t<true/>\n"
        "\t<key>playsSoundOnMove</key>\n\t<true/>\n</dict>\n</plist>\n";
    writeWholeFile(domainFile(), written);
    std::optional<Value::Dictionary> read;
    std::string log = stderrOf([&] { read = m_store.read(kDomain); });
    EXPECT_EQ(read, (Value::Dictionary{{"ignoredApps", Value(Value::Array{Value("Mail")})}, {"playsSoundOnMove", Value(true)}}));
    EXPECT_NE(log.find("holds 3 string(s)"), std::string::npos) << log;

    // The next write keeps the file as it was, whole, and writes a valid one.
    stderrOf([&] { ASSERT_TRUE(put(m_store, "fresh", Value(true))); });
    EXPECT_EQ(readWholeFile(domainFile() + ".corrupt"), written);
    const std::string now = readWholeFile(domainFile());
    EXPECT_EQ(now.find('\x01'), std::string::npos);
    EXPECT_EQ(now.find('\xe9'), std::string::npos);
    EXPECT_EQ(m_store.read(kDomain), (Value::Dictionary{{"ignoredApps", Value(Value::Array{Value("Mail")})},
                                         {"playsSoundOnMove", Value(true)}, {"fresh", Value(true)}}));
    ASSERT_TRUE(put(m_store, "fresher", Value(true)));
    EXPECT_FALSE(std::filesystem::exists(domainFile() + ".corrupt.1")) << "set aside once only";
}

TEST_F(PlistSettingsFileTest, ALinkInPlaceOfTheLockIsNotFollowed)
{
    ASSERT_TRUE(put(m_store, "k", Value(1)));
    const std::string before = readWholeFile(domainFile());
    const std::string lock = domainFile() + ".lock";
    const std::string target = m_dir.file("planted");
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(target, lock);

    const std::string log = stderrOf([&] { EXPECT_FALSE(put(m_store, "k", Value(2))); });
    EXPECT_NE(log.find("symbolic link"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(target)) << "the link was followed";
    EXPECT_EQ(readWholeFile(domainFile()), before);

    // Nor does a link to an existing file get that file truncated or locked.
    writeWholeFile(target, "precious");
    stderrOf([&] { EXPECT_FALSE(put(m_store, "k", Value(3))); });
    EXPECT_EQ(readWholeFile(target), "precious");
}

TEST_F(PlistSettingsFileTest, ANamedPipeInPlaceOfTheFileDoesNotHangAReader)
{
    ASSERT_EQ(::mkfifo(domainFile().c_str(), 0600), 0);
    const std::string log = stderrOf([&] { EXPECT_FALSE(m_store.read(kDomain).has_value()); });
    EXPECT_NE(log.find("not a regular file"), std::string::npos) << log;
}

} // namespace
} // namespace velmora
