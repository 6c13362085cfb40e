#include "shared/preferences/VelmoraPreferences.h"

#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace velmora {
namespace {

using P = VelmoraPreferences;

const PreferenceKey& key(const char* name)
{
    const PreferenceKey* found = P::keyNamed(name);
    if (!found)
        throw std::runtime_error(std::string("no key ") + name);
    return *found;
}

TEST(VelmoraPreferencesTest, TableHoldsEveryKeyWithItsTypeAndPaneDefault)
{
    EXPECT_STREQ(P::kDomain, "com.brightfen.velmora");
    EXPECT_EQ(P::keys().size(), 10u);

    const auto& volume = key("feedbackSoundVolume");
    EXPECT_EQ(volume.type, PreferenceType::Real);
    ASSERT_TRUE(volume.paneDefault.has_value());
    EXPECT_EQ(volume.paneDefault->type(), Value::Type::Real);
    EXPECT_EQ(static_cast<float>(volume.paneDefault->doubleValue()), 13.0f / 34.0f);
    EXPECT_EQ(volume.paneDefault->doubleValue(), static_cast<double>(13.0f / 34.0f)); // not the double 13/34

    EXPECT_EQ(key("feedbackSoundName").paneDefault, Value("Bottle"));
    EXPECT_EQ(key("shouldCheckForUpdatesDaily").paneDefault, Value(true));
    for (const char* flag : {"QK.velmora.snapbackCursor", "playsSoundOnMove", "snapToAlternateButtonInstead"}) {
        EXPECT_EQ(key(flag).type, PreferenceType::Flag) << flag;
        EXPECT_EQ(key(flag).paneDefault, Value(false)) << flag; // a boolean, not the integer 0
    }
    EXPECT_EQ(key("SoundToPlayIndex").paneDefault, Value(0));
    for (const char* none : {"ignoredApps", "QK.velmora.ignoredApps", "currentVersion"})
        EXPECT_FALSE(key(none).paneDefault.has_value()) << none;

    // Every default is a value of its own key's type.
    for (const auto& k : P::keys()) {
        if (k.paneDefault) {
            EXPECT_TRUE(P::accepts(k, *k.paneDefault)) << k.name;
        }
    }
    EXPECT_EQ(P::keyNamed("snapbackCursor"), nullptr); // names are exact
}

TEST(VelmoraPreferencesTest, AcceptsValuesAsTheirReadersTakeThem)
{
    const auto& flag = key("playsSoundOnMove");
    EXPECT_TRUE(P::accepts(flag, Value(true)));
    EXPECT_TRUE(P::accepts(flag, Value(1)));
    EXPECT_TRUE(P::accepts(flag, Value(0)));
    EXPECT_FALSE(P::accepts(flag, Value(2)));
    EXPECT_FALSE(P::accepts(flag, Value("1")));

    EXPECT_TRUE(P::accepts(key("feedbackSoundVolume"), Value(1)));
    EXPECT_FALSE(P::accepts(key("feedbackSoundVolume"), Value("0.5")));
    EXPECT_FALSE(P::accepts(key("SoundToPlayIndex"), Value(1.5)));
    EXPECT_FALSE(P::accepts(key("currentVersion"), Value(12)));

    const auto& apps = key("ignoredApps");
    EXPECT_TRUE(P::accepts(apps, Value(Value::Array {})));
    EXPECT_TRUE(P::accepts(apps, Value(Value::Array {Value("Mail"), Value("com.example.app")})));
    EXPECT_FALSE(P::accepts(apps, Value(Value::Array {Value("Mail"), Value(3)})));
    EXPECT_FALSE(P::accepts(apps, Value("Mail")));
}

TEST(VelmoraPreferencesTest, CommandLineTextBecomesTheStoredType)
{
    auto value = [](const char* k, const char* text) { return P::valueFromText(k, text).value; };

    // Flags are stored as the pane stores a user's choice: the integer.
    for (const char* yes : {"true", "1", "yes", "On", "YES", "on"}) {
        EXPECT_EQ(value("shouldCheckForUpdatesDaily", yes), Value(true)) << yes;
        EXPECT_EQ(value("QK.velmora.snapbackCursor", yes), Value(1)) << yes;
    }
    for (const char* no : {"FALSE", "0", "no", "Off", "NO", "off"}) {
        EXPECT_EQ(value("shouldCheckForUpdatesDaily", no), Value(false)) << no;
        EXPECT_EQ(value("QK.velmora.snapbackCursor", no), Value(0)) << no;
    }

    EXPECT_EQ(value("SoundToPlayIndex", "42"), Value(42));
    EXPECT_EQ(value("SoundToPlayIndex", "-3"), Value(-3));

    auto volume = value("feedbackSoundVolume", "0.1");
    ASSERT_TRUE(volume.has_value());
    EXPECT_EQ(volume->type(), Value::Type::Real);
    EXPECT_EQ(volume->doubleValue(), static_cast<double>(0.1f)); // single precision
    EXPECT_EQ(value("feedbackSoundVolume", "1"), Value(1.0));

    EXPECT_EQ(value("feedbackSoundName", "Glass, loud"), Value("Glass, loud"));
    EXPECT_EQ(value("ignoredApps", " Mail ,com.example.app,, "),
        Value(Value::Array {Value("Mail"), Value("com.example.app")}));
    EXPECT_EQ(value("ignoredApps", ""), Value(Value::Array {}));
}

TEST(VelmoraPreferencesTest, TextThatDoesNotFitNamesTheKeyAndType)
{
    struct Case {
        const char* key;
        const char* text;
        const char* expected;
    };
    for (const Case& c : {
             Case {"playsSoundOnMove", "y", "boolean"},
             Case {"playsSoundOnMove", "yess", "boolean"},
             Case {"playsSoundOnMove", "o", "boolean"},
             Case {"playsSoundOnMove", " on", "boolean"},
             Case {"playsSoundOnMove", "2", "boolean"},
             Case {"shouldCheckForUpdatesDaily", "", "boolean"},
             Case {"SoundToPlayIndex", "4.5", "integer"},
             Case {"SoundToPlayIndex", "", "integer"},
             Case {"SoundToPlayIndex", "99999999999999999999", "integer"},
             Case {"feedbackSoundVolume", "loud", "number"},
             Case {"feedbackSoundVolume", "nan", "number"},
             Case {"feedbackSoundVolume", "1e40", "number"},
             Case {"feedbackSoundVolume", "0.5 ", "number"},
         }) {
        auto result = P::valueFromText(c.key, c.text);
        EXPECT_FALSE(result.value.has_value()) << c.key << " " << c.text;
        EXPECT_NE(result.error.find(std::string("\"") + c.key + "\""), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(c.expected), std::string::npos) << result.error;
    }

    auto unknown = P::valueFromText("snapBack", "1");
    EXPECT_FALSE(unknown.value.has_value());
    EXPECT_NE(unknown.error.find("\"snapBack\""), std::string::npos) << unknown.error;
}

} // namespace
} // namespace velmora
