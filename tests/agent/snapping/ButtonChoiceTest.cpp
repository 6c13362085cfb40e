#include "agent/snapping/ApplicationExceptions.h"
#include "agent/snapping/ButtonChooser.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace velmora {
namespace {

using sim::SimApp;
using sim::SimDesktop;
using sim::SimNode;
using NodePtr = std::shared_ptr<SimNode>;

constexpr Size kButtonSize{80, 20};
using Exceptions = ApplicationExceptions;

// The first row of `kind` in the exceptions table.
const Exceptions::Row& rowOf(Exceptions::Kind kind)
{
    for (const Exceptions::Row& row : Exceptions::rows())
        if (row.kind == kind)
            return row;
    throw std::logic_error("no exception row of this kind");
}

class ButtonChoiceTest : public ::testing::Test {
protected:
    // The button rules for `app`; the record is left out for the login window case.
    std::unique_ptr<ButtonChooser> choose(SimApp& app, bool withRecord = true)
    {
        return std::make_unique<ButtonChooser>(desktop, reader, withRecord ? &app.info : nullptr);
    }

    // The application `row` names, running.
    SimApp& launchNamedBy(const Exceptions::Row& row)
    {
        return row.matchedBy == Exceptions::MatchedBy::Name ? desktop.launch(row.key) : desktop.launch("Bent", std::string(row.key));
    }

    void preferAlternateButton(bool on) { desktop.standardUserDefaults().setObject("snapToAlternateButtonInstead", on); }

    static NodePtr addButton(const NodePtr& parent, const std::string& title, bool enabled = true, Size size = kButtonSize)
    {
        // Inside every window addWindow() makes by default.
        return parent->addButton(title, {300, 250}, size, enabled);
    }
    static NodePtr makeDefault(const NodePtr& window, const NodePtr& button)
    {
        window->setAttribute("AXDefaultButton", button->element());
        return button;
    }
    static NodePtr makeCancel(const NodePtr& window, const NodePtr& button)
    {
        window->setAttribute("AXCancelButton", button->element());
        return button;
    }

    struct Dialog {
        NodePtr window, defaultButton, cancelButton;
    };
    // A window whose "Save" default and "Cancel" cancel button are both named
    // through the window's attributes.
    static Dialog buildSaveDialog(SimApp& app, bool defaultEnabled = true, bool cancelEnabled = true)
    {
        Dialog d;
        d.window = app.addWindow("Save");
        d.defaultButton = makeDefault(d.window, addButton(d.window, "Save", defaultEnabled));
        d.cancelButton = makeCancel(d.window, addButton(d.window, "Cancel", cancelEnabled));
        return d;
    }

    // The older file-progress window: scroll area > list > groups > unknown
    // > buttons. The first group offers "Replace", the last one "Continue".
    struct ProgressWindow {
        NodePtr window, firstGroupButton, lastGroupButton;
    };
    static ProgressWindow buildOldFileProgress(SimApp& app, const std::string& title)
    {
        ProgressWindow f;
        f.window = app.addWindow(title);
        f.window->setAttribute("AXDescription", "copy progress");
        auto list = f.window->addChild("AXScrollArea")->addChild("AXList");
        f.firstGroupButton = addButton(list->addGroup()->addChild("AXUnknown"), "Replace");
        f.lastGroupButton = addButton(list->addGroup()->addChild("AXUnknown"), "Continue");
        return f;
    }
    // The newer layout: the buttons sit right in the window's scroll area.
    static ProgressWindow buildNewFileProgress(SimApp& app, const std::string& title, const std::string& buttonTitle)
    {
        ProgressWindow f;
        f.window = app.addWindow(title);
        f.lastGroupButton = addButton(f.window->addChild("AXScrollArea"), buttonTitle);
        return f;
    }

    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    ElementReader reader{desktop.accessibility()};
};

TEST_F(ButtonChoiceTest, PreferenceOrdersDefaultAndCancelRules)
{
    SimApp& app = desktop.launch("Editor", "org.example.Editor");
    auto chooser = choose(app);
    Dialog both = buildSaveDialog(app);
    Dialog cancelDisabled = buildSaveDialog(app, true, false);
    Dialog defaultDisabled = buildSaveDialog(app, false, true);
    NodePtr cancelOnly = app.addWindow("Alert");
    NodePtr onlyCancel = makeCancel(cancelOnly, addButton(cancelOnly, "Stop"));

    EXPECT_EQ(chooser->answeringButton(both.window->element()), both.defaultButton->element());
    EXPECT_EQ(chooser->answeringButton(cancelOnly->element()), onlyCancel->element());
    EXPECT_EQ(chooser->answeringButton(defaultDisabled.window->element()), defaultDisabled.cancelButton->element());

    // Read at every call, not cached by the chooser.
    preferAlternateButton(true);
    EXPECT_EQ(chooser->answeringButton(both.window->element()), both.cancelButton->element());
    EXPECT_EQ(chooser->answeringButton(cancelDisabled.window->element()), cancelDisabled.defaultButton->element());
    preferAlternateButton(false);
    EXPECT_EQ(chooser->answeringButton(both.window->element()), both.defaultButton->element());

    // A cancel attribute naming something other than a button is no answer.
    NodePtr checkBoxCancel = app.addWindow("Odd");
    makeCancel(checkBoxCancel, checkBoxCancel->addChild("AXCheckBox"))->setEnabled(true);
    EXPECT_TRUE(chooser->answeringButton(checkBoxCancel->element()).isEmpty());
}

TEST_F(ButtonChoiceTest, OnlyAButtonThePointerCanLandOnIsChosen)
{
    SimApp& app = desktop.launch("Editor");
    auto chooser = choose(app);

    // Toolkits' placeholders for a button that is not laid out: the pointer
    // would be warped into a screen corner.
    struct Placeholder {
        const char* what;
        Point origin;
        Size size;
    };
    for (const Placeholder& p : {Placeholder{"0 x 0 at the origin", {0, 0}, {0, 0}},
             Placeholder{"1 x 1 far off", {-2147483648.0f, -2147483648.0f}, {1, 1}},
             Placeholder{"no height", {300, 250}, {80, 0}}}) {
        Dialog d = buildSaveDialog(app);
        d.defaultButton->setFrame(p.origin, p.size);
        // The next rule's button still answers the dialog.
        EXPECT_EQ(chooser->answeringButton(d.window->element()), d.cancelButton->element()) << p.what;
        d.cancelButton->setFrame(p.origin, p.size);
        EXPECT_TRUE(chooser->answeringButton(d.window->element()).isEmpty()) << p.what;
    }

    // Hidden by its toolkit, wherever it claims to be.
    Dialog hidden = buildSaveDialog(app);
    hidden.defaultButton->setAttribute("AXShowing", false);
    EXPECT_EQ(chooser->answeringButton(hidden.window->element()), hidden.cancelButton->element());
    hidden.defaultButton->setAttribute("AXShowing", true);
    EXPECT_EQ(chooser->answeringButton(hidden.window->element()), hidden.defaultButton->element());

    // Outside its window's frame (scrolled away), or off every screen.
    Dialog outside = buildSaveDialog(app);
    outside.defaultButton->setFrame({450, 250}, kButtonSize); // the spot falls right of the frame
    outside.cancelButton->setFrame({300, 70}, kButtonSize);   // above it
    EXPECT_TRUE(chooser->answeringButton(outside.window->element()).isEmpty());
    Dialog offScreen = buildSaveDialog(app);
    offScreen.window->setFrame({1300, 100}, {400, 200});
    offScreen.defaultButton->setFrame({1500, 150}, kButtonSize);
    offScreen.cancelButton->setFrame({1350, 150}, kButtonSize);
    EXPECT_EQ(chooser->answeringButton(offScreen.window->element()), offScreen.cancelButton->element());
    desktop.setScreens({Screen{Rect{{0, 0}, {1440, 900}}, 1.0f}, Screen{Rect{{1440, 0}, {1440, 900}}, 1.0f}});
    EXPECT_EQ(chooser->answeringButton(offScreen.window->element()), offScreen.defaultButton->element());
}

TEST_F(ButtonChoiceTest, AStandardWindowIsNeverAnsweredByItsCancelButton)
{
    SimApp& app = desktop.launch("Editor");
    auto chooser = choose(app);
    for (bool preferCancel : {false, true}) {
        SCOPED_TRACE(preferCancel ? "cancel preferred" : "default preferred");
        preferAlternateButton(preferCancel);
        // A main window whose only candidate is a button labelled like a cancel.
        NodePtr main = app.addWindow("Untitled");
        main->setAttribute("AXSubrole", "AXStandardWindow");
        makeCancel(main, addButton(main, "Close"));
        EXPECT_TRUE(chooser->answeringButton(main->element()).isEmpty());
        // Its real default button still answers it.
        NodePtr find = makeDefault(main, addButton(main, "Find"));
        EXPECT_EQ(chooser->answeringButton(main->element()), find->element());

        // A dialog, or a window of unknown kind, keeps both rules.
        for (const char* subrole : {"AXDialog", ""}) {
            NodePtr window = app.addWindow("Question");
            if (*subrole)
                window->setAttribute("AXSubrole", subrole);
            NodePtr close = makeCancel(window, addButton(window, "Close"));
            EXPECT_EQ(chooser->answeringButton(window->element()), close->element()) << subrole;
        }
    }
}

TEST_F(ButtonChoiceTest, TitleSearchTakesDirectButtonChildrenIgnoringCase)
{
    SimApp& app = desktop.launch("Editor");
    auto chooser = choose(app);

    // A disabled default button is passed over by the attribute, then found by title.
    NodePtr disabled = app.addWindow("Disabled");
    NodePtr disabledOk = makeDefault(disabled, addButton(disabled, "oK", false));
    EXPECT_EQ(chooser->answeringButton(disabled->element()), disabledOk->element());

    for (const char* title : {"Ok", "ok", "Yes", "yes", "YES"}) {
        NodePtr window = app.addWindow(title);
        NodePtr button = addButton(window, title);
        EXPECT_EQ(chooser->defaultButton(window->element()), button->element()) << title;
    }

    // "OK" is searched before "YES", whatever the children's order.
    NodePtr both = app.addWindow("Both");
    addButton(both, "Yes");
    NodePtr ok = addButton(both, "OK");
    EXPECT_EQ(chooser->defaultButton(both->element()), ok->element());

    // Near misses: a trailing blank, a non-button child, a button one level down.
    NodePtr misses = app.addWindow("Misses");
    addButton(misses, "OK ");
    misses->addChild("AXStaticText")->setTitle("OK");
    addButton(misses->addGroup(), "OK");
    EXPECT_TRUE(chooser->defaultButton(misses->element()).isEmpty());
    // ... but a later button child is still found after the skipped text.
    NodePtr later = addButton(misses, "yes");
    EXPECT_EQ(chooser->defaultButton(misses->element()), later->element());

    // A default attribute naming a non-button falls through to the title search.
    NodePtr nonButton = app.addWindow("NonButton");
    makeDefault(nonButton, nonButton->addChild("AXCheckBox"))->setEnabled(true);
    EXPECT_TRUE(chooser->defaultButton(nonButton->element()).isEmpty());
}

TEST_F(ButtonChoiceTest, ADefaultButtonOfAnApplicationsIgnoredSizeIsSkippedForTheTitleSearch)
{
    const Exceptions::Row& row = rowOf(Exceptions::Kind::IgnoreDefaultButtonOfSize);
    SimApp& bent = launchNamedBy(row);
    SimApp& plain = desktop.launch("Plain");
    const Size size = row.size;
    struct Case {
        SimApp& app;
        Size size;
        bool expectDefault;
    };
    for (const Case& c : {Case{bent, size, false}, Case{bent, {size.width, size.height + 1}, true},
             Case{bent, {size.width + 1, size.height}, true}, Case{plain, size, true}}) {
        auto chooser = choose(c.app);
        NodePtr window = c.app.addWindow("Export");
        NodePtr defaultButton = makeDefault(window, addButton(window, "Export", true, c.size));
        NodePtr ok = addButton(window, "OK");
        NodePtr expected = c.expectDefault ? defaultButton : ok;
        EXPECT_EQ(chooser->answeringButton(window->element()), expected->element())
            << c.app.info.name << " " << c.size.width << "x" << c.size.height;
    }

    // With nothing titled to fall back on, the skipped default yields no snap.
    auto chooser = choose(bent);
    NodePtr bare = bent.addWindow("Bare");
    makeDefault(bare, addButton(bare, "Export", true, size));
    EXPECT_TRUE(chooser->answeringButton(bare->element()).isEmpty());
}

TEST_F(ButtonChoiceTest, AnApplicationsIgnoredCancelTitleIsNeverChosen)
{
    const Exceptions::Row& row = rowOf(Exceptions::Kind::IgnoreCancelButtonTitled);
    SimApp& bent = launchNamedBy(row);
    SimApp& other = desktop.launch("Browser", "org.example.browser");
    auto bentChooser = choose(bent);
    auto otherChooser = choose(other);
    preferAlternateButton(true);

    std::string upper = row.title, lower = row.title;
    std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string& title : {std::string(row.title), upper, lower}) {
        NodePtr sheet = bent.addWindow("Sheet");
        makeCancel(sheet, addButton(sheet, title));
        EXPECT_TRUE(bentChooser->answeringButton(sheet->element()).isEmpty()) << title;
        // The default rule still answers when there is a default button.
        NodePtr defaultButton = makeDefault(sheet, addButton(sheet, "Save"));
        EXPECT_EQ(bentChooser->answeringButton(sheet->element()), defaultButton->element()) << title;
    }

    NodePtr cancelSheet = bent.addWindow("Sheet");
    NodePtr cancel = makeCancel(cancelSheet, addButton(cancelSheet, "Cancel"));
    EXPECT_EQ(bentChooser->answeringButton(cancelSheet->element()), cancel->element());

    NodePtr otherSheet = other.addWindow("Sheet");
    NodePtr done = makeCancel(otherSheet, addButton(otherSheet, row.title));
    EXPECT_EQ(otherChooser->answeringButton(otherSheet->element()), done->element());
}

TEST_F(ButtonChoiceTest, FileProgressLayouts)
{
    SimApp& files = launchNamedBy(rowOf(Exceptions::Kind::SearchFileProgressWindows));
    auto chooser = choose(files);

    // Older layout: only the list's last group is searched.
    ProgressWindow old = buildOldFileProgress(files, "Copy");
    EXPECT_EQ(chooser->answeringButton(old.window->element()), old.lastGroupButton->element());
    EXPECT_TRUE(desktop.logLines().empty());

    // Newer layout, "Replace" before "Continue".
    ProgressWindow replace = buildNewFileProgress(files, "Trash", "Continue");
    NodePtr replaceButton = addButton(replace.window->children().front(), "replace");
    EXPECT_EQ(chooser->answeringButton(replace.window->element()), replaceButton->element());

    // The special rules come last: a titled OK in the window wins.
    ProgressWindow withOk = buildNewFileProgress(files, "Copy", "Replace");
    NodePtr ok = addButton(withOk.window, "OK");
    EXPECT_EQ(chooser->answeringButton(withOk.window->element()), ok->element());

    // Titles are exact: neither layout knows "Move" or "copy"; the older one says so once each.
    size_t before = desktop.logLines().size();
    for (const char* title : {"Move", "copy"}) {
        ProgressWindow unknown = buildOldFileProgress(files, title);
        ProgressWindow newer = buildNewFileProgress(files, title, "Replace");
        EXPECT_TRUE(chooser->answeringButton(unknown.window->element()).isEmpty()) << title;
        EXPECT_TRUE(chooser->answeringButton(newer.window->element()).isEmpty()) << title;
    }
    ASSERT_EQ(desktop.logLines().size(), before + 2);
    EXPECT_TRUE(desktop.logLines()[before].ends_with(" progress dialog with title \"Move\" was not recognized by Velmora"));
    EXPECT_TRUE(desktop.logLines()[before + 1].ends_with(" progress dialog with title \"copy\" was not recognized by Velmora"));

    // A "Continue" that is no button is refused.
    ProgressWindow notAButton = buildNewFileProgress(files, "Copy", "Skip");
    notAButton.window->children().front()->addChild("AXStaticText")->setTitle("Continue");
    EXPECT_TRUE(chooser->answeringButton(notAButton.window->element()).isEmpty());
}

TEST_F(ButtonChoiceTest, WithoutApplicationRecordNoApplicationRuleMatches)
{
    // The login window's chooser has no record; the same trees that the
    // application rules treat specially are taken plainly.
    for (const Exceptions::Row& row : Exceptions::rows()) {
        SimApp& app = launchNamedBy(row);
        const std::string name = app.info.name;
        auto chooser = choose(app, false);

        NodePtr window = app.addWindow("Copy");
        NodePtr defaultButton = makeDefault(window, addButton(window, "Export", true, rowOf(Exceptions::Kind::IgnoreDefaultButtonOfSize).size));
        EXPECT_EQ(chooser->answeringButton(window->element()), defaultButton->element()) << name;

        preferAlternateButton(true);
        NodePtr done = makeCancel(window, addButton(window, rowOf(Exceptions::Kind::IgnoreCancelButtonTitled).title));
        EXPECT_EQ(chooser->answeringButton(window->element()), done->element()) << name;
        preferAlternateButton(false);

        ProgressWindow progress = buildNewFileProgress(app, "Copy", "Replace");
        EXPECT_TRUE(chooser->answeringButton(progress.window->element()).isEmpty()) << name;
    }
}

TEST_F(ButtonChoiceTest, AnUnansweredReadEndsTheChoiceAsHung)
{
    SimApp& app = desktop.launch("Editor");
    auto chooser = choose(app);
    Dialog d = buildSaveDialog(app);

    app.hung = true;
    const int before = app.requestCount;
    ErrorOr<std::optional<SnapTarget>> choice = chooser->choose(d.window->element());
    EXPECT_TRUE(choice.isError(ReadError::Hung));
    EXPECT_EQ(app.requestCount - before, 1) << "nothing more is asked after the first unanswered read";
    EXPECT_TRUE(chooser->answeringButton(d.window->element()).isEmpty());

    // Each choice starts afresh: answering again, the window gets its answer.
    app.hung = false;
    choice = chooser->choose(d.window->element());
    ASSERT_TRUE(choice.hasValue());
    ASSERT_TRUE(choice.value().has_value());
    EXPECT_EQ(choice.value()->button, d.defaultButton->element());
    EXPECT_TRUE(std::holds_alternative<Point>(choice.value()->spot));

    // A window that closed meanwhile is no hang: simply no answer.
    AccessibleElement closed = d.window->element();
    d.window->destroy();
    choice = chooser->choose(closed);
    ASSERT_TRUE(choice.hasValue());
    EXPECT_FALSE(choice.value().has_value());

    desktop.setAPIEnabled(false);
    EXPECT_TRUE(chooser->choose(buildSaveDialog(app).window->element()).isError(ReadError::AccessOff));
}

} // namespace
} // namespace velmora
