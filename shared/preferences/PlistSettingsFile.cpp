#include "shared/preferences/PlistSettingsFile.h"

#include "platform/XdgBaseDirectories.h"
#include "shared/preferences/FileTransaction.h"
#include "shared/preferences/PlistCodec.h"
#include "shared/preferences/SettingsLog.h"

#include <mutex>
#include <set>

namespace velmora {

namespace {

struct DomainFile {
    enum class State { Absent, Read, Unreadable };
    State state{State::Absent};
    Value::Dictionary dictionary;
    // Read, but with strings left out that XML cannot carry: the file is
    // kept aside before the next write, as an unreadable one is.
    bool lossy{false};
};


// Each problem with a file is logged once per process for as long as the
// file stays the same, however often it is read.
void logOnce(const std::string& line, const std::string& identity)
{
    static std::mutex mutex;
    static std::set<std::string> logged;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!logged.insert(line + "\n" + identity).second)
            return;
    }
    logSettingsProblem(line);
}

DomainFile readDomainFile(const std::string& path)
{
    FileTransaction::Contents contents = FileTransaction::read(path, PlistSettingsFile::kMaxFileSize);
    if (contents.state == FileTransaction::Contents::State::Absent)
        return {};
    std::string error = contents.error;
    PlistCodec::Decoded decoded;
    if (contents.state == FileTransaction::Contents::State::Read) {
        decoded = PlistCodec::decode(contents.bytes);
        error = decoded.error;
    }
    if (!decoded.dictionary) {
        logOnce("Preferences file " + path + " is unreadable (" + error + "); reading it as empty", contents.identity);
        return DomainFile{DomainFile::State::Unreadable, {}, false};
    }
    if (decoded.droppedTexts > 0) {
        logOnce("Preferences file " + path + " holds " + std::to_string(decoded.droppedTexts)
                + " string(s) that are not UTF-8 or hold control characters; they are left out, and the file is kept aside "
                  "before the next write",
            contents.identity);
    }
    return {DomainFile::State::Read, std::move(*decoded.dictionary), decoded.droppedTexts > 0};
}

} // namespace
// static
std::string PlistSettingsFile::defaultDirectory()
{
    return XdgBaseDirectories::configHome() + "/velmora";
}

PlistSettingsFile::PlistSettingsFile() : PlistSettingsFile(defaultDirectory()) { }

PlistSettingsFile::PlistSettingsFile(std::string directory) : m_directory(std::move(directory))
{
    while (m_directory.size() > 1 && m_directory.back() == '/')
        m_directory.pop_back();
}

std::string PlistSettingsFile::pathForDomain(const std::string& domain) const
{
    // The name becomes a file name; it must not reach outside the directory.
    if (domain.empty() || domain.front() == '.' || domain.find('/') != std::string::npos
        || domain.find('\0') != std::string::npos)
        return {};
    return m_directory + "/" + domain + ".plist";
}

std::optional<Value::Dictionary> PlistSettingsFile::read(const std::string& domain)
{
    std::string path = pathForDomain(domain);
    if (path.empty())
        return std::nullopt;
    DomainFile file = readDomainFile(path);
    if (file.state != DomainFile::State::Read)
        return std::nullopt;
    return std::move(file.dictionary);
}

bool PlistSettingsFile::update(const std::string& domain, const Change& change)
{
    std::string path = pathForDomain(domain);
    if (path.empty()) {
        logSettingsProblem("Invalid preferences domain name \"" + domain + "\"");
        return false;
    }
    FileTransaction transaction(m_directory, path);
    if (!transaction.locked())
        return false;

    DomainFile file = readDomainFile(path);
    std::optional<Value::Dictionary> contents;
    if (file.state == DomainFile::State::Read)
        contents = std::move(file.dictionary);
    if (!change(contents))
        return true;

    // Checked before anything on disk changes: a value XML cannot carry
    // would make the file unreadable for every program.
    if (contents) {
        if (std::string reason = PlistCodec::unstorableReason(*contents); !reason.empty()) {
            logSettingsProblem("Cannot store preferences domain " + domain + ": " + reason);
            return false;
        }
    }

    if ((file.state == DomainFile::State::Unreadable || file.lossy) && !transaction.setAside())
        return false;
    if (!contents)
        return transaction.remove();

    std::optional<std::string> xml = PlistCodec::encode(*contents);
    if (!xml) {
        logSettingsProblem("Cannot encode preferences domain " + domain);
        return false;
    }
    return transaction.replace(*xml);
}

} // namespace velmora
