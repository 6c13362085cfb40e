#include "platform/ProgramSettings.h"

#include "shared/preferences/PlistSettingsFile.h"
#include "shared/preferences/VelmoraPreferences.h"
#include "support/TemporaryDirectory.h"
#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

using P = VelmoraPreferences;

constexpr const char* kLoginWindow = "loginwindow";

// Two processes of the same user: each has its own store object and defaults
// over the same directory, as the agent and the pane have.
class ProgramSettingsTest : public ::testing::Test {
protected:
    void store(const std::string& domain, Value::Dictionary contents)
    {
        ASSERT_TRUE(m_otherStore.update(domain, [&](std::optional<Value::Dictionary>& stored) {
            stored = std::move(contents);
            return true;
        }));
    }
    Value stored(const std::string& key)
    {
        return valueForKey(m_otherStore.read(P::kDomain).value_or(Value::Dictionary {}), key);
    }

    test::TemporaryDirectory m_dir;
    PlistSettingsFile m_store{m_dir.path()};
    ProgramSettings m_defaults{m_store, P::kDomain};
    PlistSettingsFile m_otherStore{m_dir.path()};
    ProgramSettings m_otherDefaults{m_otherStore, P::kDomain};
};

TEST_F(ProgramSettingsTest, NeverShownDomainReadsFalseZeroAndNothing)
{
    store(P::kDomain, {{P::kIgnoredApps, Value(Value::Array {Value("Terminal")})}});

    EXPECT_FALSE(m_defaults.boolForKey(P::kSnapbackCursor));
    EXPECT_FALSE(m_defaults.boolForKey(P::kShouldCheckForUpdatesDaily)) << "the pane's default is not the store's";
    EXPECT_EQ(m_defaults.floatForKey(P::kFeedbackSoundVolume), 0.0f);
    EXPECT_TRUE(m_defaults.objectForKey(P::kFeedbackSoundName).isNull());
    EXPECT_EQ(m_defaults.stringForKey(P::kFeedbackSoundName), "");
    EXPECT_EQ(m_defaults.integerForKey(P::kSoundToPlayIndex), 0);
    EXPECT_EQ(m_defaults.objectForKey(P::kIgnoredApps), Value(Value::Array {Value("Terminal")}));

    // No domain at all reads the same way.
    ProgramSettings empty(m_store, "com.example.absent");
    EXPECT_FALSE(empty.boolForKey("anything"));
    EXPECT_EQ(empty.floatForKey("anything"), 0.0f);
    EXPECT_FALSE(empty.persistentDomainForName("com.example.absent").has_value());
}

TEST_F(ProgramSettingsTest, ReadsStoredKindsLeniently)
{
    store(P::kDomain, {
        {P::kSnapbackCursor, Value(1)},
        {P::kPlaysSoundOnMove, Value(true)},
        {P::kSnapToAlternateButtonInstead, Value(0)},
        {P::kFeedbackSoundVolume, *P::keyNamed(P::kFeedbackSoundVolume)->paneDefault},
        {P::kFeedbackSoundName, Value("Bottle")},
        {P::kSoundToPlayIndex, Value(3)},
    });
    EXPECT_TRUE(m_defaults.boolForKey(P::kSnapbackCursor)); // the integer 1 is true
    EXPECT_TRUE(m_defaults.boolForKey(P::kPlaysSoundOnMove));
    EXPECT_FALSE(m_defaults.boolForKey(P::kSnapToAlternateButtonInstead));
    EXPECT_EQ(m_defaults.floatForKey(P::kFeedbackSoundVolume), 13.0f / 34.0f);
    EXPECT_EQ(m_defaults.stringForKey(P::kFeedbackSoundName), "Bottle");
    EXPECT_EQ(m_defaults.stringForKey(P::kSoundToPlayIndex), ""); // not a string
    EXPECT_EQ(m_defaults.integerForKey(P::kSoundToPlayIndex), 3);
}

TEST_F(ProgramSettingsTest, CachedUntilSynchronize)
{
    store(P::kDomain, {{P::kPlaysSoundOnMove, Value(false)}});
    EXPECT_FALSE(m_defaults.boolForKey(P::kPlaysSoundOnMove));

    store(P::kDomain, {{P::kPlaysSoundOnMove, Value(1)}});
    EXPECT_FALSE(m_defaults.boolForKey(P::kPlaysSoundOnMove)); // the cache still answers
    EXPECT_TRUE(m_defaults.synchronize());
    EXPECT_TRUE(m_defaults.boolForKey(P::kPlaysSoundOnMove));
}

TEST_F(ProgramSettingsTest, SetObjectShowsAtOnceAndIsStoredOnSynchronize)
{
    m_defaults.setObject(P::kIgnoredApps, Value(Value::Array {Value("Mail")}));
    EXPECT_EQ(m_defaults.objectForKey(P::kIgnoredApps), Value(Value::Array {Value("Mail")}));
    EXPECT_TRUE(stored(P::kIgnoredApps).isNull());

    ASSERT_TRUE(m_defaults.synchronize());
    EXPECT_EQ(stored(P::kIgnoredApps), Value(Value::Array {Value("Mail")}));

    m_defaults.setObject(P::kIgnoredApps, Value()); // null removes, as removeObject does
    EXPECT_TRUE(m_defaults.objectForKey(P::kIgnoredApps).isNull());
    ASSERT_TRUE(m_defaults.synchronize());
    EXPECT_TRUE(stored(P::kIgnoredApps).isNull());
}

TEST_F(ProgramSettingsTest, SynchronizeKeepsAnotherWritersKeys)
{
    store(P::kDomain, {{P::kFeedbackSoundName, Value("Bottle")}, {P::kSoundToPlayIndex, Value(1)}});
    EXPECT_EQ(m_defaults.stringForKey(P::kFeedbackSoundName), "Bottle"); // cached now

    // The pane changes two keys after the agent read the domain...
    m_otherDefaults.setObject(P::kFeedbackSoundName, Value("Glass"));
    m_otherDefaults.removeObject(P::kSoundToPlayIndex);
    ASSERT_TRUE(m_otherDefaults.synchronize());

    // ...and the agent's own write, from its stale cache, must not undo them.
    m_defaults.setObject(P::kIgnoredApps, Value(Value::Array {Value("Terminal")}));
    ASSERT_TRUE(m_defaults.synchronize());

    EXPECT_EQ(stored(P::kFeedbackSoundName), Value("Glass"));
    EXPECT_TRUE(stored(P::kSoundToPlayIndex).isNull());
    EXPECT_EQ(stored(P::kIgnoredApps), Value(Value::Array {Value("Terminal")}));
    // synchronize also re-read what the other writer stored.
    EXPECT_EQ(m_defaults.stringForKey(P::kFeedbackSoundName), "Glass");
    EXPECT_EQ(m_defaults.objectForKey(P::kSoundToPlayIndex), Value());
}

TEST_F(ProgramSettingsTest, FailedWriteKeepsTheChangeForTheNextSynchronize)
{
    // A file where the directory should be makes every write fail.
    std::string blocked = m_dir.file("blocked");
    test::writeWholeFile(blocked, "");
    PlistSettingsFile store(blocked + "/velmora");
    ProgramSettings defaults(store, P::kDomain);

    defaults.setObject(P::kSoundToPlayIndex, Value(4));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(defaults.synchronize());
    std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(blocked), std::string::npos) << log;
    EXPECT_EQ(defaults.integerForKey(P::kSoundToPlayIndex), 4);

    std::filesystem::remove(blocked);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(PlistSettingsFile(blocked + "/velmora").read(P::kDomain),
        (Value::Dictionary {{P::kSoundToPlayIndex, Value(4)}}));
}

TEST_F(ProgramSettingsTest, PersistentDomainsAreCachedAndReplacedWhole)
{
    Value::Dictionary entry {{"Path", Value("/opt/VelmoraBG.app")}, {"Hide", Value(false)}};
    Value::Dictionary loginItems {
        {"AutoLaunchedApplicationDictionary", Value(Value::Array {Value(entry)})},
        {"SystemKey", Value(7)},
    };
    EXPECT_FALSE(m_defaults.persistentDomainForName(kLoginWindow).has_value());

    m_otherDefaults.setPersistentDomain(loginItems, kLoginWindow);
    EXPECT_EQ(m_otherDefaults.persistentDomainForName(kLoginWindow), loginItems);
    // The first process read the domain as absent and keeps that until it re-reads.
    EXPECT_FALSE(m_defaults.persistentDomainForName(kLoginWindow).has_value());
    m_defaults.synchronize();
    EXPECT_EQ(m_defaults.persistentDomainForName(kLoginWindow), loginItems);

    // A whole domain replaces every key, including those not given.
    m_defaults.setPersistentDomain({{"Only", Value(true)}}, kLoginWindow);
    EXPECT_EQ(m_otherStore.read(kLoginWindow), (Value::Dictionary {{"Only", Value(true)}}));

    m_defaults.removePersistentDomainForName(kLoginWindow);
    EXPECT_FALSE(m_defaults.persistentDomainForName(kLoginWindow).has_value());
    EXPECT_FALSE(m_otherStore.read(kLoginWindow).has_value());
}

TEST_F(ProgramSettingsTest, UpdatePersistentDomainWorksOnWhatIsStoredNow)
{
    store(kLoginWindow, {{"A", Value(1)}});
    EXPECT_EQ(m_defaults.persistentDomainForName(kLoginWindow), (Value::Dictionary {{"A", Value(1)}}));
    store(kLoginWindow, {{"A", Value(1)}, {"B", Value(2)}}); // someone else adds B

    EXPECT_TRUE(m_defaults.updatePersistentDomain(kLoginWindow, [](std::optional<Value::Dictionary>& domain) {
        (*domain)["C"] = Value(3);
        return true;
    }));
    Value::Dictionary expected {{"A", Value(1)}, {"B", Value(2)}, {"C", Value(3)}};
    EXPECT_EQ(m_otherStore.read(kLoginWindow), expected);
    EXPECT_EQ(m_defaults.persistentDomainForName(kLoginWindow), expected);
}

TEST_F(ProgramSettingsTest, UnwrittenChangesSurviveReloadsOfTheirDomain)
{
    m_defaults.setObject(P::kPlaysSoundOnMove, Value(1));
    m_defaults.updatePersistentDomain(P::kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain.emplace();
        (*domain)[P::kFeedbackSoundName] = Value("Glass");
        return true;
    });
    EXPECT_TRUE(m_defaults.boolForKey(P::kPlaysSoundOnMove));
    EXPECT_EQ(m_defaults.stringForKey(P::kFeedbackSoundName), "Glass");
    ASSERT_TRUE(m_defaults.synchronize());
    EXPECT_EQ(stored(P::kPlaysSoundOnMove), Value(1));
    EXPECT_EQ(stored(P::kFeedbackSoundName), Value("Glass"));

    // Replacing the whole domain supersedes keys set one by one.
    m_defaults.setObject(P::kSoundToPlayIndex, Value(2));
    m_defaults.setPersistentDomain({{P::kCurrentVersion, Value("2")}}, P::kDomain);
    EXPECT_EQ(m_defaults.objectForKey(P::kSoundToPlayIndex), Value());
    ASSERT_TRUE(m_defaults.synchronize());
    EXPECT_EQ(m_otherStore.read(P::kDomain), (Value::Dictionary {{P::kCurrentVersion, Value("2")}}));
}

} // namespace
} // namespace velmora
