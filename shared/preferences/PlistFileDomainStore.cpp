#include "shared/preferences/PlistFileDomainStore.h"

#include "platform/Platform.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace velmora {

namespace {

constexpr mode_t kDirectoryMode = 0700; // preferences are the user's own
constexpr mode_t kFileMode = 0600;
// Enough to find a free ".corrupt.N" name; more means something else is wrong.
constexpr int kMaxCorruptSuffix = 1000;

void logLine(const std::string& line)
{
    // The store also runs in tools and tests that install no platform.
    if (Platform::isInstalled())
        NSLog(line);
    else
        std::fprintf(stderr, "velmora: %s\n", line.c_str());
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

// A file descriptor that is closed with its owner.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) { }
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) { }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, reporting the error close() gives (which for a file just
    // written can be the first sign of a failed write).
    int close() { return ::close(std::exchange(m_fd, -1)); }

private:
    void reset()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

    int m_fd{-1};
};

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

struct PlistXmlDeleter {
    void operator()(char* xml) const { plist_to_xml_free(xml); }
};
using PlistXmlPtr = std::unique_ptr<char, PlistXmlDeleter>;

// Dictionary iterators and keys that libplist hands out are malloc'ed.
struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); }
};

std::optional<Value> valueFromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer as 64 bits; negative ones come back
        // in two's complement.
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return Value(std::string(s ? s : "", s ? length : 0));
    }
    case PLIST_ARRAY: {
        Value::Array array;
        uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i) {
            if (auto item = valueFromNode(plist_array_get_item(node, i)))
                array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Value::Dictionary dictionary;
        plist_dict_iter rawIter = nullptr;
        plist_dict_new_iter(node, &rawIter);
        std::unique_ptr<void, FreeDeleter> iter(rawIter);
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, rawIter, &rawKey, &item);
            std::unique_ptr<char, FreeDeleter> key(rawKey);
            if (!key)
                break;
            if (auto value = valueFromNode(item))
                dictionary.emplace(key.get(), std::move(*value));
        }
        return Value(std::move(dictionary));
    }
    default:
        return std::nullopt;
    }
}

PlistPtr nodeFromValue(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return nullptr;
    case Value::Type::Boolean:
        return PlistPtr(plist_new_bool(value.boolValue() ? 1 : 0));
    case Value::Type::Integer:
        return PlistPtr(plist_new_uint(static_cast<uint64_t>(value.integerValue())));
    case Value::Type::Real:
        return PlistPtr(plist_new_real(value.doubleValue()));
    case Value::Type::String:
        return PlistPtr(plist_new_string(value.string()->c_str()));
    case Value::Type::Array: {
        PlistPtr array(plist_new_array());
        for (const auto& item : *value.array()) {
            if (PlistPtr node = nodeFromValue(item))
                plist_array_append_item(array.get(), node.release()); // the array adopts it
        }
        return array;
    }
    case Value::Type::Dictionary: {
        PlistPtr dictionary(plist_new_dict());
        for (const auto& [key, item] : *value.dictionary()) {
            if (PlistPtr node = nodeFromValue(item))
                plist_dict_set_item(dictionary.get(), key.c_str(), node.release()); // adopted
        }
        return dictionary;
    }
    }
    return nullptr;
}

struct DomainFile {
    enum class State { Absent, Read, Unreadable };
    State state{State::Absent};
    Value::Dictionary dictionary;
};

DomainFile readDomainFile(const std::string& path)
{
    auto unreadable = [&](const std::string& why) {
        logLine("Preferences file " + path + " is unreadable (" + why + "); reading it as empty");
        return DomainFile{DomainFile::State::Unreadable, {}};
    };

    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) // no file, or no directory yet
            return {};
        return unreadable(errnoText(errno));
    }

    std::string contents;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unreadable(errnoText(errno));
        if (n == 0)
            break;
        contents.append(buffer, static_cast<size_t>(n));
        if (contents.size() > std::numeric_limits<uint32_t>::max())
            return unreadable("too large");
    }

    plist_t rawRoot = nullptr;
    plist_from_memory(contents.data(), static_cast<uint32_t>(contents.size()), &rawRoot);
    PlistPtr root(rawRoot);
    if (!root)
        return unreadable("not a property list");
    if (plist_get_node_type(root.get()) != PLIST_DICT)
        return unreadable("not a dictionary");
    Value value = *valueFromNode(root.get()); // a dictionary always converts
    return {DomainFile::State::Read, std::move(*value.dictionary())};
}

// mkdir -p, giving every directory it creates kDirectoryMode.
bool makeDirectories(const std::string& directory)
{
    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        std::string prefix = directory.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), kDirectoryMode) != 0 && errno != EEXIST) {
            logLine("Cannot create preferences directory " + prefix + ": " + errnoText(errno));
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        logLine("Preferences directory " + directory + " is not a directory");
        return false;
    }
    return true;
}

// Moves an unreadable file out of the way so that the next write cannot
// destroy what might still be recovered by hand. Runs under the domain lock,
// and only this class makes these names, so checking for a free name first
// is not racy among our own processes.
bool setAside(const std::string& path)
{
    for (int n = 0; n <= kMaxCorruptSuffix; ++n) {
        std::string candidate = path + ".corrupt" + (n ? "." + std::to_string(n) : "");
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0)
            continue;
        if (errno != ENOENT)
            break;
        if (::rename(path.c_str(), candidate.c_str()) != 0) {
            logLine("Cannot keep unreadable preferences file " + path + " aside: " + errnoText(errno));
            return false;
        }
        logLine("Kept unreadable preferences file " + path + " as " + candidate);
        return true;
    }
    logLine("Cannot keep unreadable preferences file " + path + " aside: no free name");
    return false;
}

bool writeAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

// Writes a sibling temporary file and renames it over `path`, so readers see
// the old or the new file, whole, and a crash leaves at worst a stray
// temporary file rather than a truncated domain.
bool replaceFileAtomically(const std::string& directory, const std::string& path, const char* data, size_t length)
{
    std::string temporary = path + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.valid()) {
        logLine("Cannot write preferences file " + path + ": " + errnoText(errno));
        return false;
    }
    auto fail = [&](const char* step) {
        int error = errno;
        ::unlink(temporary.c_str());
        logLine("Cannot write preferences file " + path + " (" + step + "): " + errnoText(error));
        return false;
    };
    if (::fchmod(fd.get(), kFileMode) != 0)
        return fail("chmod");
    if (!writeAll(fd.get(), data, length))
        return fail("write");
    if (::fsync(fd.get()) != 0)
        return fail("fsync");
    if (fd.close() != 0)
        return fail("close");
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail("rename");

    // Makes the rename itself durable; the data is already safe either way.
    UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
    return true;
}

// Holds an exclusive advisory lock on a file for the owner's lifetime.
// The lock file is never removed: unlinking it while another process waits
// on it would let a third process lock a new file and run alongside.
UniqueFd lockFile(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode));
    if (!fd.valid()) {
        logLine("Cannot open preferences lock " + path + ": " + errnoText(errno));
        return fd;
    }
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            logLine("Cannot lock preferences lock " + path + ": " + errnoText(errno));
            return UniqueFd();
        }
    }
    return fd;
}

} // namespace

// static
std::string PlistFileDomainStore::defaultDirectory()
{
    // Relative XDG paths are invalid and must be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/velmora";

    std::string home;
    if (const char* env = std::getenv("HOME"); env && env[0])
        home = env;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.config/velmora";
}

PlistFileDomainStore::PlistFileDomainStore() : PlistFileDomainStore(defaultDirectory()) { }

PlistFileDomainStore::PlistFileDomainStore(std::string directory) : m_directory(std::move(directory))
{
    while (m_directory.size() > 1 && m_directory.back() == '/')
        m_directory.pop_back();
}

std::string PlistFileDomainStore::pathForDomain(const std::string& domain) const
{
    // The name becomes a file name; it must not reach outside the directory.
    if (domain.empty() || domain.front() == '.' || domain.find('/') != std::string::npos
        || domain.find('\0') != std::string::npos)
        return {};
    return m_directory + "/" + domain + ".plist";
}

std::optional<Value::Dictionary> PlistFileDomainStore::read(const std::string& domain)
{
    std::string path = pathForDomain(domain);
    if (path.empty())
        return std::nullopt;
    DomainFile file = readDomainFile(path);
    if (file.state != DomainFile::State::Read)
        return std::nullopt;
    return std::move(file.dictionary);
}

bool PlistFileDomainStore::update(const std::string& domain, const Change& change)
{
    std::string path = pathForDomain(domain);
    if (path.empty()) {
        logLine("Invalid preferences domain name \"" + domain + "\"");
        return false;
    }
    if (!makeDirectories(m_directory))
        return false;
    UniqueFd lock = lockFile(path + ".lock");
    if (!lock.valid())
        return false;

    DomainFile file = readDomainFile(path);
    std::optional<Value::Dictionary> contents;
    if (file.state == DomainFile::State::Read)
        contents = std::move(file.dictionary);
    if (!change(contents))
        return true;

    if (file.state == DomainFile::State::Unreadable && !setAside(path))
        return false;

    if (!contents) {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            logLine("Cannot remove preferences file " + path + ": " + errnoText(errno));
            return false;
        }
        return true;
    }

    PlistPtr root = nodeFromValue(Value(std::move(*contents)));
    char* rawXml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &rawXml, &length);
    PlistXmlPtr xml(rawXml);
    if (!xml) {
        logLine("Cannot encode preferences domain " + domain);
        return false;
    }
    return replaceFileAtomically(m_directory, path, xml.get(), length);
}

} // namespace velmora
