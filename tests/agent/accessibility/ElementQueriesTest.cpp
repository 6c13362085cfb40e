#include "agent/accessibility/ElementQueries.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::sim;

namespace {

class ElementQueriesTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ElementQueries queries{desktop.accessibility()};
    SimApp& app = desktop.launch("Editor", "org.example.Editor", "/usr/bin/editor");
};

TEST_F(ElementQueriesTest, ReadsOnlyAdvertisedAttributes)
{
    auto window = app.addWindow("Document");
    window->setHiddenAttribute("AXSecret", "served but not listed");
    window->setAttribute("AXSubrole", "AXStandardWindow");

    EXPECT_EQ(queries.advertisedValue("AXSubrole", window->element()).description(), "AXStandardWindow");
    EXPECT_TRUE(queries.advertisedValue("AXSecret", window->element()).isNone());
    EXPECT_TRUE(queries.advertisedValue("AXNothing", window->element()).isNone());
    EXPECT_TRUE(queries.advertisedValue("AXRole", AccessibleElement()).isNone());

    // A dead element answers nothing, and a title query gives "" rather than nothing.
    auto element = window->element();
    EXPECT_EQ(queries.title(element), "Document");
    EXPECT_FALSE(queries.isGone(element));
    window->destroy();
    EXPECT_TRUE(queries.advertisedValue("AXSubrole", element).isNone());
    EXPECT_EQ(queries.title(element), "");
    EXPECT_TRUE(queries.isGone(element));
}

TEST_F(ElementQueriesTest, FocusedWindowFallsBackToTopLevelWindowOnly)
{
    auto listed = app.addWindow("Listed");
    desktop.focusWindow(app, listed);
    EXPECT_EQ(queries.focusedWindow(app.info.pid).valueOr({}), listed->element());

    // A focused window missing from the list is replaced by the focused
    // element's top level when that is a window ...
    auto stray = std::make_shared<SimNode>(app, "AXWindow");
    auto field = listed->addChild("AXTextField");
    app.root->setAttribute("AXFocusedWindow", stray->element());
    app.focusedElement = field;
    field->setAttribute("AXTopLevelUIElement", listed->element());
    EXPECT_EQ(queries.focusedWindow(app.info.pid).valueOr({}), listed->element());

    // ... and kept when the top level is something else.
    auto sheet = listed->addChild("AXSheet");
    field->setAttribute("AXTopLevelUIElement", sheet->element());
    EXPECT_EQ(queries.focusedWindow(app.info.pid).valueOr({}), stray->element());

    // With no window list at all, the focused window stands as it is.
    SimApp& bare = desktop.launch("Bare");
    auto lone = std::make_shared<SimNode>(bare, "AXWindow");
    bare.root->setAttribute("AXFocusedWindow", lone->element());
    EXPECT_EQ(queries.focusedWindow(bare.info.pid).valueOr({}), lone->element());

    EXPECT_TRUE(queries.focusedWindow(424242).isError());
    EXPECT_FALSE(queries.applicationElement(424242));
    EXPECT_EQ(queries.pidOf(lone->element()), bare.info.pid);
}

TEST_F(ElementQueriesTest, ElementAtPoint)
{
    auto window = app.addWindow("Dialog", {100, 100}, {400, 200});
    auto button = window->addButton("OK", {380, 260}, {80, 20});
    desktop.activate(app);
    desktop.focusWindow(app, window);

    // A transposed lookup would land outside the button.
    EXPECT_EQ(queries.elementAt({420, 270}), button->element());
    EXPECT_EQ(queries.elementAt({150, 150}), window->element());
    EXPECT_FALSE(queries.elementAt({5, 5}));
}

} // namespace
