#include "shared/preferences/FileTransaction.h"

#include "shared/preferences/SettingsLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
    // Hands the descriptor over; the caller closes it.
    int release() { return std::exchange(m_fd, -1); }

private:
    void reset()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

    int m_fd{-1};
};

std::string mebibytes(size_t bytes)
{
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

// mkdir -p, giving every directory it creates kDirectoryMode.
bool makeDirectories(const std::string& directory)
{
    for (size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        std::string prefix = directory.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), kDirectoryMode) != 0 && errno != EEXIST) {
            logSettingsProblem("Cannot create preferences directory " + prefix + ": " + errnoText(errno));
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        logSettingsProblem("Preferences directory " + directory + " is not a directory");
        return false;
    }
    return true;
}

// Moves an unreadable file out of the way so that the next write cannot
// destroy what might still be recovered by hand. Runs under the domain lock,
// and only this class makes these names, so checking for a free name first
// is not racy among our own processes.
bool setAsideFile(const std::string& path)
{
    for (int n = 0; n <= kMaxCorruptSuffix; ++n) {
        std::string candidate = path + ".corrupt" + (n ? "." + std::to_string(n) : "");
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0)
            continue;
        if (errno != ENOENT)
            break;
        if (::rename(path.c_str(), candidate.c_str()) != 0) {
            logSettingsProblem("Cannot keep unreadable preferences file " + path + " aside: " + errnoText(errno));
            return false;
        }
        logSettingsProblem("Kept unreadable preferences file " + path + " as " + candidate);
        return true;
    }
    logSettingsProblem("Cannot keep unreadable preferences file " + path + " aside: no free name");
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
    // mkostemp creates the file exclusively (O_EXCL), so a link planted
    // under the temporary name is never followed; O_NOFOLLOW says so too.
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) {
        logSettingsProblem("Cannot write preferences file " + path + ": " + errnoText(errno));
        return false;
    }
    auto fail = [&](const char* step) {
        int error = errno;
        ::unlink(temporary.c_str());
        logSettingsProblem("Cannot write preferences file " + path + " (" + step + "): " + errnoText(error));
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
// on it would let a third process lock a new file and run alongside. A
// symbolic link in its place is not followed (the update fails instead), so
// a planted link cannot make us create or truncate the file it points to.
UniqueFd lockFile(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode));
    if (!fd.valid()) {
        const int error = errno;
        logSettingsProblem("Cannot open preferences lock " + path + ": "
            + (error == ELOOP ? std::string("it is a symbolic link, which is not followed; remove it") : errnoText(error)));
        return fd;
    }
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            logSettingsProblem("Cannot lock preferences lock " + path + ": " + errnoText(errno));
            return UniqueFd();
        }
    }
    return fd;
}

} // namespace

// static
FileTransaction::Contents FileTransaction::read(const std::string& path, size_t maxSize)
{
    struct stat st {};
    auto identity = [&] {
        return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":"
            + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    };
    auto unreadable = [&](const std::string& why) { return Contents{Contents::State::Unreadable, {}, why, identity()}; };

    // Not blocking: a named pipe in the file's place must not hang the program.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR) // no file, or no directory yet
            return {};
        return unreadable(errnoText(errno));
    }
    if (::fstat(fd.get(), &st) != 0)
        return unreadable(errnoText(errno));
    if (!S_ISREG(st.st_mode))
        return unreadable("not a regular file");
    const std::string tooLarge = "larger than " + mebibytes(maxSize) + ", more than any settings need";
    if (static_cast<uint64_t>(st.st_size) > maxSize)
        return unreadable(tooLarge);

    std::string contents;
    contents.reserve(static_cast<size_t>(st.st_size));
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
        if (contents.size() > maxSize) // it grew while being read
            return unreadable(tooLarge);
    }
    return Contents{Contents::State::Read, std::move(contents), "", identity()};
}

FileTransaction::FileTransaction(std::string directory, std::string path)
    : m_directory(std::move(directory))
    , m_path(std::move(path))
{
    if (makeDirectories(m_directory))
        m_lockFd = lockFile(m_path + ".lock").release();
}

FileTransaction::~FileTransaction()
{
    // Closing the descriptor releases the lock.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool FileTransaction::setAside()
{
    return setAsideFile(m_path);
}

bool FileTransaction::remove()
{
    if (::unlink(m_path.c_str()) != 0 && errno != ENOENT) {
        logSettingsProblem("Cannot remove preferences file " + m_path + ": " + errnoText(errno));
        return false;
    }
    return true;
}

bool FileTransaction::replace(std::string_view bytes)
{
    return replaceFileAtomically(m_directory, m_path, bytes.data(), bytes.size());
}

} // namespace velmora
