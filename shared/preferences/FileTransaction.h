#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// One settings file that several processes read and replace. Reads take no
// lock: the file is only ever replaced whole (a temporary file in the same
// directory written, flushed to disk and renamed over it), so a reader sees
// the old or the new contents, never a mix. A transaction holds an exclusive
// advisory lock on "<file>.lock" for its lifetime, so read-modify-writes of
// every process that uses this class serialise and none is lost. The lock
// file and temporary files are opened without following symbolic links: a
// link planted in their place makes the write fail, never write where the
// link points. Every failure is logged.
class FileTransaction {
public:
    struct Contents {
        enum class State { Absent, Read, Unreadable };
        State state{State::Absent};
        std::string bytes;
        // Why the file is unreadable.
        std::string error;
        // The file's device, inode, size and time when it was read; "" when
        // it was not found. A problem is logged once per identity.
        std::string identity;
    };
    // The file's bytes; unreadable when it is no regular file or larger than
    // `maxSize`. A named pipe in its place does not block the read.
    static Contents read(const std::string& path, size_t maxSize);

    // Creates `directory` (mode 0700, with any missing parents) and takes the
    // lock of `path`, a file in it; locked() says whether both succeeded.
    FileTransaction(std::string directory, std::string path);
    ~FileTransaction();
    FileTransaction(const FileTransaction&) = delete;
    FileTransaction& operator=(const FileTransaction&) = delete;

    bool locked() const { return m_lockFd >= 0; }

    // Renames the file to "<file>.corrupt" (".corrupt.1", ".corrupt.2" ...
    // when that name is taken), so that no later write destroys what might
    // still be recovered by hand.
    bool setAside();
    // Removes the file; an absent one counts as removed.
    bool remove();
    // Replaces the file's contents as a whole (mode 0600).
    bool replace(std::string_view bytes);

private:
    std::string m_directory;
    std::string m_path;
    int m_lockFd{-1};
};

} // namespace velmora
