#pragma once

#include "platform/PersistentDomainStore.h"

#include <string>

namespace velmora {

// A persistent domain store with one XML property list per domain,
// "<directory>/<domain>.plist", so values keep their kinds (boolean, integer,
// real, string, array, dictionary) across processes and restarts.
//
// Files are replaced atomically (a temporary file in the same directory is
// written, flushed to disk and renamed over the old one), so a reader sees
// either the old or the new contents, never a mix; read() therefore takes no
// lock. update() holds an advisory lock on "<domain>.plist.lock" from the read
// to the rename, so read-modify-writes of any number of processes that use
// this class serialise and none is lost.
//
// A file that exists but cannot be read or parsed, or whose root is not a
// dictionary, is logged and read as absent. It is never overwritten: the next
// update() first renames it to "<file>.corrupt" (or ".corrupt.1", ".corrupt.2"
// ... when that name is taken) and fails if it cannot.
//
// Values that a Value cannot hold (data, dates) are dropped when read, and
// nulls are dropped when written.
class PlistFileDomainStore final : public PersistentDomainStore {
public:
    // $XDG_CONFIG_HOME/velmora when XDG_CONFIG_HOME is an absolute path,
    // else ~/.config/velmora.
    static std::string defaultDirectory();

    PlistFileDomainStore();
    // `directory` is created (mode 0700, with any missing parents) on the
    // first write, not here.
    explicit PlistFileDomainStore(std::string directory);

    const std::string& directory() const { return m_directory; }
    // Where `domain` is stored; "" for a name that is not a plain file name
    // (empty, starting with a dot, or containing a slash).
    std::string pathForDomain(const std::string& domain) const;

    // PersistentDomainStore overrides. An invalid domain name reads as absent
    // and cannot be updated. A change that declines (returns false) leaves
    // the file alone and counts as success.
    std::optional<Value::Dictionary> read(const std::string& domain) override;
    bool update(const std::string& domain, const Change& change) override;

private:
    std::string m_directory;
};

} // namespace velmora
