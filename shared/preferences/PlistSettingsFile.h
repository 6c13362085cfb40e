#pragma once

#include "platform/SettingsStore.h"
#include "shared/preferences/PlistCodec.h"

#include <string>
#include <string_view>

namespace velmora {

// A persistent domain store with one XML property list per domain,
// "<directory>/<domain>.plist", so values keep their kinds (boolean, integer,
// real, string, array, dictionary) across processes and restarts.
//
// Files are replaced atomically, so read() takes no lock; update() is one
// FileTransaction, holding the lock "<domain>.plist.lock" from the read to
// the rename, so read-modify-writes of any number of processes that use this
// class serialise and none is lost. The format is PlistCodec's.
//
// A file that exists but cannot be read or parsed, whose root is not a
// dictionary, that is larger than kMaxFileSize or nests arrays and
// dictionaries deeper than kMaxNesting, is logged and read as absent. It is
// never overwritten: the next update() first renames it to "<file>.corrupt"
// (or ".corrupt.1", ".corrupt.2" ... when that name is taken) and fails if it
// cannot. The limits are checked before the file is parsed, so neither a huge
// nor a deeply nested file costs more than reading its bytes once.
//
// Values that a Value cannot hold (data, dates) are dropped when read, and
// nulls are dropped when written. Strings that XML cannot carry (not UTF-8,
// or with control characters other than tab, line feed and carriage return)
// are refused when written: update() fails, writing nothing, so no writer
// can make the file invalid. Such strings in a file written before are left
// out when read, and the next update() keeps the file as it was aside first,
// as it does a damaged one.
class PlistSettingsFile final : public SettingsStore {
public:
    // "velmora" in the user's configuration folder ($XDG_CONFIG_HOME when
    // it is an absolute path, else ~/.config).
    static std::string defaultDirectory();

    // Larger files are not read (settings take a few KiB; ten thousand
    // ignored applications about 600 KiB).
    static constexpr size_t kMaxFileSize = 4 * 1024 * 1024;
    static constexpr int kMaxNesting = PlistCodec::kMaxNesting;

    static bool isStorableText(std::string_view text) { return PlistCodec::isStorableText(text); }

    PlistSettingsFile();
    // `directory` is created (mode 0700, with any missing parents) on the
    // first write, not here.
    explicit PlistSettingsFile(std::string directory);

    const std::string& directory() const { return m_directory; }
    // Where `domain` is stored; "" for a name that is not a plain file name
    // (empty, starting with a dot, or containing a slash).
    std::string pathForDomain(const std::string& domain) const;

    // SettingsStore overrides. An invalid domain name reads as absent
    // and cannot be updated. A change that declines (returns false) leaves
    // the file alone and counts as success.
    std::optional<Value::Dictionary> read(const std::string& domain) override;
    bool update(const std::string& domain, const Change& change) override;

private:
    std::string m_directory;
};

} // namespace velmora
