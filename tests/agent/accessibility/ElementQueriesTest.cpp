#include "agent/accessibility/ElementQueries.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

class ApplicationInfoTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    SimApp& app = desktop.launch("Editor", "org.example.Editor", "/usr/bin/editor");
};

TEST_F(ApplicationInfoTest, ReadsOnlyAdvertisedAttributes)
{
    auto window = app.addWindow("Document");
    window->setHiddenAttribute("AXSecret", "served but not listed");
    window->setAttribute("AXSubrole", "AXStandardWindow");

    EXPECT_EQ(ElementQueries::valueOfExistingAttribute("AXSubrole", window->element()).description(), "AXStandardWindow");
    EXPECT_TRUE(ElementQueries::valueOfExistingAttribute("AXSecret", window->element()).isNone());
    EXPECT_TRUE(ElementQueries::valueOfExistingAttribute("AXNothing", window->element()).isNone());
    EXPECT_TRUE(ElementQueries::valueOfExistingAttribute("AXRole", AccessibleElement()).isNone());

    // A dead element answers nothing, and text queries give "" rather than nothing.
    auto element = window->element();
    window->destroy();
    EXPECT_TRUE(ElementQueries::valueOfExistingAttribute("AXSubrole", element).isNone());
    EXPECT_EQ(ElementQueries::titleOfElement(element), "");
    EXPECT_EQ(ElementQueries::roleOfElement(element), "");
}

TEST_F(ApplicationInfoTest, TextQueriesCopyDirectlyAndNeverFail)
{
    auto window = app.addWindow("Document");
    auto button = window->addButton("OK", {300, 250}, {80, 20});
    button->setHiddenAttribute("AXDescription", "confirms");

    EXPECT_EQ(ElementQueries::titleOfElement(button->element()), "OK");
    EXPECT_EQ(ElementQueries::roleOfElement(button->element()), "AXButton");
    // Direct copy: served-but-unlisted attributes are read here.
    EXPECT_EQ(ElementQueries::descriptionOfElement(button->element()), "confirms");
    EXPECT_EQ(ElementQueries::titleOfElement(window->addGroup()->element()), "");

    app.root->setTitle("Editor");
    EXPECT_EQ(ElementQueries::titleOfApplicationForElement(button->element()), "Editor");
}

TEST_F(ApplicationInfoTest, ListsNeedAnElementFirst)
{
    auto w1 = app.addWindow("One");
    auto w2 = app.addWindow("Two");
    auto windows = ElementQueries::allWindowsForAppWithPID(app.info.pid);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], w2->element()); // newest on top
    EXPECT_EQ(windows[1], w1->element());

    auto a = w1->addButton("A", {0, 0}, {10, 10});
    auto b = w1->addButton("B", {0, 0}, {10, 10});
    auto children = ElementQueries::allChildrenOfElement(w1->element());
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0], a->element());
    EXPECT_EQ(children[1], b->element());

    // A list whose first entry is not an element is no list at all.
    w2->setAttribute("AXChildren", AttributeValue::Array{AttributeValue("text"), AttributeValue(a->element())});
    EXPECT_TRUE(ElementQueries::allChildrenOfElement(w2->element()).empty());
    w2->setAttribute("AXChildren", AttributeValue("not an array"));
    EXPECT_TRUE(ElementQueries::allChildrenOfElement(w2->element()).empty());

    EXPECT_TRUE(ElementQueries::allWindowsForAppWithPID(424242).empty());
    app.accessible = false;
    EXPECT_TRUE(ElementQueries::allWindowsForAppWithPID(app.info.pid).empty());
}

TEST_F(ApplicationInfoTest, FocusedWindowFallsBackToTopLevelWindowOnly)
{
    auto listed = app.addWindow("Listed");
    desktop.focusWindow(app, listed);
    EXPECT_EQ(ElementQueries::focusedWindowRefForAppWithPID(app.info.pid), listed->element());

    // A focused window missing from the list is replaced by the focused
    // element's top level when that is a window ...
    auto stray = std::make_shared<SimNode>(app, "AXWindow");
    auto field = listed->addChild("AXTextField");
    app.root->setAttribute("AXFocusedWindow", stray->element());
    app.focusedElement = field;
    field->setAttribute("AXTopLevelUIElement", listed->element());
    EXPECT_EQ(ElementQueries::focusedWindowRefForAppWithPID(app.info.pid), listed->element());

    // ... and kept when the top level is something else.
    auto sheet = listed->addChild("AXSheet");
    field->setAttribute("AXTopLevelUIElement", sheet->element());
    EXPECT_EQ(ElementQueries::focusedWindowRefForAppWithPID(app.info.pid), stray->element());

    // With no window list at all, the focused window stands as it is.
    SimApp& bare = desktop.launch("Bare");
    auto lone = std::make_shared<SimNode>(bare, "AXWindow");
    bare.root->setAttribute("AXFocusedWindow", lone->element());
    EXPECT_EQ(ElementQueries::focusedWindowRefForAppWithPID(bare.info.pid), lone->element());

    EXPECT_FALSE(ElementQueries::focusedWindowRefForAppWithPID(424242));
}

TEST_F(ApplicationInfoTest, TriStateAnswersAndElementAtPoint)
{
    auto window = app.addWindow("Dialog", {100, 100}, {400, 200});
    auto button = window->addButton("OK", {380, 260}, {80, 20});
    desktop.activate(app);
    desktop.focusWindow(app, window);

    EXPECT_EQ(ElementQueries::appWithPIDIsFrontmost(app.info.pid), 1);
    EXPECT_EQ(ElementQueries::appWithPIDIsHidden(app.info.pid), 0);
    EXPECT_EQ(ElementQueries::appWithPIDIsFrontmost(424242), -1);

    // A transposed lookup would land outside the button.
    EXPECT_EQ(ElementQueries::elementAt({420, 270}), button->element());
    EXPECT_EQ(ElementQueries::elementAt({150, 150}), window->element());
    EXPECT_FALSE(ElementQueries::elementAt({5, 5}));
}

} // namespace
