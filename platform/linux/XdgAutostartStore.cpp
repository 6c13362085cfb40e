#include "platform/linux/XdgAutostartStore.h"

#include "platform/XdgBaseDirectories.h"
#include "platform/linux/GCharPtr.h"
#include "platform/linux/GErrorPtr.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace velmora::linux_desktop {

namespace {

constexpr const char* kGroup = "Desktop Entry";

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct StrvDeleter {
    void operator()(gchar** strv) const { g_strfreev(strv); }
};

// An advisory lock on a file of ours, held for the life of the object. A
// symbolic link in the lock's place is not followed: the lock is not held,
// rather than a file created where the link points.
class FileLock {
public:
    explicit FileLock(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        if (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            close(m_fd); // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd{-1};
};

// The shell command through which a program whose path holds '%' is
// started: `sh -c 'exec "$0"' PROGRAM`.
constexpr const char* kExecThroughShell = "exec \"$0\"";

// An argument of an Exec line with its field codes undone: "%%" is a
// literal percent sign; any other field code stands for files or URLs,
// which a login item is not given, and goes.
std::string withoutFieldCodes(const std::string& argument)
{
    std::string out;
    for (size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%') {
            out += argument[i];
        } else if (i + 1 < argument.size()) {
            if (argument[++i] == '%')
                out += '%';
        }
    }
    return out;
}

// The program an Exec line starts: its first word after unquoting and
// undoing field codes, or the program our own `sh -c 'exec "$0"' PROGRAM`
// form starts.
std::string programOfExec(const std::string& exec)
{
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(exec.c_str(), nullptr, &argv, nullptr))
        return {};
    std::unique_ptr<gchar*, StrvDeleter> owned(argv);
    std::vector<std::string> words;
    for (gchar** word = argv; *word; ++word)
        words.push_back(withoutFieldCodes(*word));
    if (words.size() == 4 && (words[0] == "sh" || words[0] == "/bin/sh") && words[1] == "-c" && words[2] == kExecThroughShell)
        return words[3];
    return words.empty() ? std::string() : words[0];
}

// Exec quoting of the desktop entry format: one double-quoted argument with
// '"', '`', '$' and '\' escaped by a backslash, and '%' doubled (a single
// one starts a field code). The key file escapes the result once more.
std::string quoteForExec(const std::string& argument)
{
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        else if (c == '%')
            out += '%';
        out += c;
    }
    return out + "\"";
}

// The Exec line that starts `program`. A path with '%' in it is passed to
// sh rather than named first: GLib (2.74, Debian 12's) looks for the first
// word's program without undoing "%%", finds nothing, and ignores the whole
// entry, so a desktop that starts login items through GIO would skip it.
std::string execLineFor(const std::string& program)
{
    if (program.find('%') == std::string::npos)
        return quoteForExec(program);
    return "sh -c " + quoteForExec(kExecThroughShell) + " " + quoteForExec(program);
}

struct ListedFile {
    std::string name;
    fs::file_time_type modified;
    Value::Dictionary entry;
};

std::optional<ListedFile> readEntry(const fs::path& path)
{
    KeyFilePtr file(g_key_file_new());
    if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
        return std::nullopt;
    if (g_key_file_get_boolean(file.get(), kGroup, "Hidden", nullptr))
        return std::nullopt;
    GErrorPtr error;
    gboolean enabled = g_key_file_get_boolean(file.get(), kGroup, "X-GNOME-Autostart-enabled", error.out());
    if (!error && !enabled)
        return std::nullopt;
    GCharPtr exec(g_key_file_get_string(file.get(), kGroup, "Exec", nullptr));
    std::error_code ec;
    ListedFile listed;
    listed.name = path.filename().string();
    listed.modified = fs::last_write_time(path, ec);
    listed.entry["Path"] = programOfExec(exec.str());
    listed.entry["Hide"] = false;
    listed.entry[XdgAutostartStore::kFileKey] = listed.name;
    return listed;
}

std::string baseNameOf(const std::string& program)
{
    std::string base = fs::path(program).filename().string();
    std::string clean;
    for (char c : base)
        clean += (c == '.' || c == ' ' || c == '/') ? '-' : c;
    return clean.empty() ? std::string("login-item") : clean;
}

// The first launcher under `dataDirectories` that starts `program`; null
// when there is none.
KeyFilePtr launcherOf(const std::vector<std::string>& dataDirectories, const std::string& program)
{
    for (const auto& data : dataDirectories) {
        std::error_code ec;
        for (fs::directory_iterator it(fs::path(data) / "applications", ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() != ".desktop")
                continue;
            KeyFilePtr file(g_key_file_new());
            if (!g_key_file_load_from_file(file.get(), it->path().c_str(), G_KEY_FILE_KEEP_TRANSLATIONS, nullptr))
                continue;
            GCharPtr exec(g_key_file_get_string(file.get(), kGroup, "Exec", nullptr));
            if (exec && programOfExec(exec.str()) == program)
                return file;
        }
    }
    return nullptr;
}

// Copies `key` and its translations from the launcher.
void copyKey(GKeyFile* from, GKeyFile* to, const char* key)
{
    gsize count = 0;
    std::unique_ptr<gchar*, StrvDeleter> keys(g_key_file_get_keys(from, kGroup, &count, nullptr));
    if (!keys)
        return;
    const std::string name = key;
    for (gchar** each = keys.get(); *each; ++each) {
        const std::string candidate = *each;
        if (candidate == name || candidate.starts_with(name + "[")) {
            GCharPtr value(g_key_file_get_value(from, kGroup, *each, nullptr));
            if (value)
                g_key_file_set_value(to, kGroup, *each, value.get());
        }
    }
}

bool writeNewEntry(const fs::path& directory, const std::string& program, const std::vector<std::string>& dataDirectories,
    std::string& fileName)
{
    const std::string base = baseNameOf(program);
    fs::path target;
    for (int n = 1;; ++n) {
        fileName = n == 1 ? base + ".desktop" : base + "-" + std::to_string(n) + ".desktop";
        target = directory / fileName;
        std::error_code ec;
        if (!fs::exists(target, ec))
            break;
    }
    KeyFilePtr file(g_key_file_new());
    g_key_file_set_string(file.get(), kGroup, "Type", "Application");
    KeyFilePtr launcher = launcherOf(dataDirectories, program);
    if (launcher && g_key_file_has_key(launcher.get(), kGroup, "Name", nullptr)) {
        for (const char* key : {"Name", "Comment", "Icon"})
            copyKey(launcher.get(), file.get(), key);
    } else {
        g_key_file_set_string(file.get(), kGroup, "Name", fs::path(program).filename().c_str());
    }
    g_key_file_set_string(file.get(), kGroup, "Exec", execLineFor(program).c_str());
    g_key_file_set_boolean(file.get(), kGroup, "X-GNOME-Autostart-enabled", TRUE);
    gsize length = 0;
    GCharPtr data(g_key_file_to_data(file.get(), &length, nullptr));
    // Written to a temporary name and renamed; the temporary name does not
    // end in ".desktop", so no reader takes a half-written file for an entry.
    return g_file_set_contents(target.c_str(), data.get(), static_cast<gssize>(length), nullptr);
}

} // namespace

// static
std::string XdgAutostartStore::defaultConfigDirectory()
{
    return XdgBaseDirectories::configHome();
}

// static
std::vector<std::string> XdgAutostartStore::defaultDataDirectories()
{
    std::vector<std::string> directories{g_get_user_data_dir()};
    for (const gchar* const* dir = g_get_system_data_dirs(); *dir; ++dir)
        directories.emplace_back(*dir);
    return directories;
}

XdgAutostartStore::XdgAutostartStore(std::string configDirectory, std::vector<std::string> dataDirectories)
    : m_configDirectory(std::move(configDirectory))
    , m_autostartDirectory(m_configDirectory + "/autostart")
    , m_dataDirectories(std::move(dataDirectories))
{
}

std::optional<Value::Dictionary> XdgAutostartStore::read(const std::string& domain)
{
    if (domain != kDomain)
        return std::nullopt;
    std::error_code ec;
    if (!fs::is_directory(m_autostartDirectory, ec))
        return std::nullopt;
    std::vector<ListedFile> files;
    for (const auto& item : fs::directory_iterator(m_autostartDirectory, ec)) {
        const std::string name = item.path().filename().string();
        if (name.empty() || name[0] == '.' || item.path().extension() != ".desktop")
            continue;
        if (auto listed = readEntry(item.path()))
            files.push_back(std::move(*listed));
    }
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
        return a.modified != b.modified ? a.modified < b.modified : a.name < b.name;
    });
    Value::Array list;
    for (auto& file : files)
        list.push_back(std::move(file.entry));
    Value::Dictionary result;
    result[kListKey] = std::move(list);
    return result;
}

bool XdgAutostartStore::update(const std::string& domain, const Change& change)
{
    if (domain != kDomain)
        return false;
    std::error_code ec;
    fs::create_directories(m_autostartDirectory, ec);
    fs::create_directories(m_configDirectory + "/velmora", ec);
    FileLock lock(m_configDirectory + "/velmora/loginwindow.lock");
    if (!lock.isHeld())
        return false;

    std::optional<Value::Dictionary> before = read(domain);
    std::optional<Value::Dictionary> after = before;
    if (!change(after))
        return true;
    // Dropping the domain as a whole would delete every other program's
    // entry with it; nothing of ours needs that.
    if (!after)
        return false;

    auto listOf = [](const std::optional<Value::Dictionary>& d) {
        const Value::Array* list = d ? valueForKey(*d, kListKey).array() : nullptr;
        return list ? *list : Value::Array{};
    };
    const Value::Array oldList = listOf(before);
    Value::Array newList = listOf(after);

    bool ok = true;
    // Files whose entries left the list go, whole.
    for (const Value& entry : oldList) {
        const Value::Dictionary* d = entry.dictionary();
        const std::string* file = d ? valueForKey(*d, kFileKey).string() : nullptr;
        if (!file)
            continue;
        bool kept = std::any_of(newList.begin(), newList.end(), [&](const Value& candidate) {
            const Value::Dictionary* c = candidate.dictionary();
            const std::string* f = c ? valueForKey(*c, kFileKey).string() : nullptr;
            return f && *f == *file;
        });
        if (!kept && !fs::remove(fs::path(m_autostartDirectory) / *file, ec) && ec)
            ok = false;
    }
    // Entries that name no file are new: each gets a file of its own.
    for (const Value& entry : newList) {
        const Value::Dictionary* d = entry.dictionary();
        if (!d || valueForKey(*d, kFileKey).string())
            continue;
        const std::string* program = valueForKey(*d, "Path").string();
        if (!program || program->empty())
            continue;
        std::string fileName;
        ok = writeNewEntry(m_autostartDirectory, *program, m_dataDirectories, fileName) && ok;
    }
    return ok;
}

} // namespace velmora::linux_desktop
