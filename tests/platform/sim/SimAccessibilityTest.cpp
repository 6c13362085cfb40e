#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velmora;
using namespace velmora::sim;

namespace {

class SimAccessibilityTest : public ::testing::Test {
protected:
    // Editor, frontmost, with a document window and a "Save changes?" dialog
    // on top whose OK button sits inside a frameless group.
    void buildEditorWithSaveDialog()
    {
        editor = &desktop.addRunningApp("Editor", "org.example.Editor");
        document = editor->addWindow("Untitled", {0, 0}, {800, 600});
        dialog = editor->addWindow("Save changes?", {100, 100}, {400, 200});
        auto group = dialog->addGroup();
        ok = group->addButton("OK", {400, 260}, {80, 20});
        dialog->setAttribute("AXDefaultButton", ok->element());
        desktop.activate(*editor);
        desktop.focusWindow(*editor, dialog);
    }

    AttributeValue value(const AccessibleElement& element, const std::string& attribute, AccessibilityError expected = AccessibilityError::Success)
    {
        AttributeValue result;
        EXPECT_EQ(ax().copyAttributeValue(element, attribute, result), expected) << attribute;
        return result;
    }

    std::vector<std::string> names(const AccessibleElement& element)
    {
        std::vector<std::string> result;
        EXPECT_EQ(ax().copyAttributeNames(element, result), AccessibilityError::Success);
        return result;
    }

    AccessibleElement elementAt(float x, float y, AccessibilityError expected = AccessibilityError::Success)
    {
        AccessibleElement result;
        EXPECT_EQ(ax().copyElementAtPosition(ax().createSystemWide(), x, y, result), expected);
        return result;
    }

    Accessibility& ax() { return desktop.accessibility(); }

    SimDesktop desktop;
    SimApp* editor{nullptr};
    std::shared_ptr<SimNode> document, dialog, ok;
};

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST_F(SimAccessibilityTest, ApplicationElementComputesWindowsFocusAndStateFromTheDesktop)
{
    buildEditorWithSaveDialog();
    AccessibleElement app = ax().createApplication(editor->info.pid);
    ASSERT_TRUE(app);
    EXPECT_EQ(app, editor->root->element());

    auto windows = value(app, "AXWindows");
    ASSERT_TRUE(windows.array());
    ASSERT_EQ(windows.array()->size(), 2u);
    EXPECT_EQ(*(*windows.array())[0].element(), dialog->element()) << "the focused window is on top";
    EXPECT_EQ(value(app, "AXFocusedWindow").elementValue(), dialog->element());
    EXPECT_EQ(value(app, "AXFocusedUIElement").elementValue(), dialog->element());
    EXPECT_EQ(value(app, "AXFrontmost").boolValue(), true);
    EXPECT_EQ(value(app, "AXHidden").boolValue(), false);
    EXPECT_EQ(value(app, "AXTitle").description(), "Editor");

    auto appNames = names(app);
    for (const char* name : {"AXRole", "AXTitle", "AXWindows", "AXFocusedWindow", "AXFocusedUIElement", "AXFrontmost", "AXHidden"})
        EXPECT_TRUE(contains(appNames, name)) << name;

    // Below a window: parent chain, and the window as top-level element.
    EXPECT_EQ(value(ok->element(), "AXTopLevelUIElement").elementValue(), dialog->element());
    EXPECT_EQ(value(ok->element(), "AXWindow").elementValue(), dialog->element());
    EXPECT_EQ(value(dialog->element(), "AXParent").elementValue(), app);
    EXPECT_EQ(*value(ok->element(), "AXPosition").pointValue(), (Point{400, 260}));
    EXPECT_FALSE(contains(names(app), "AXTopLevelUIElement"));
}

TEST_F(SimAccessibilityTest, ListedHiddenStoredAndSuppressedAttributes)
{
    buildEditorWithSaveDialog();
    dialog->setHiddenAttribute("AXSecret", "shh");
    EXPECT_FALSE(contains(names(dialog->element()), "AXSecret"));
    EXPECT_EQ(value(dialog->element(), "AXSecret").description(), "shh");

    value(dialog->element(), "AXNoSuchThing", AccessibilityError::AttributeUnsupported);
    editor->focusedWindow = nullptr;
    value(editor->root->element(), "AXFocusedWindow", AccessibilityError::NoValue); // advertised, but empty now

    // A stored value wins over the computed one, so odd values can be staged.
    dialog->setAttribute("AXChildren", AttributeValue::Array{AttributeValue("text"), AttributeValue(ok->element())});
    AttributeValue staged = value(dialog->element(), "AXChildren");
    EXPECT_EQ(staged.array()->front().description(), "text");

    editor->root->removeAttribute("AXFrontmost");
    EXPECT_FALSE(contains(names(editor->root->element()), "AXFrontmost"));
    value(editor->root->element(), "AXFrontmost", AccessibilityError::AttributeUnsupported);
}

TEST_F(SimAccessibilityTest, HandlesToTheSameNodeAreEqualAndHashAlike)
{
    buildEditorWithSaveDialog();
    auto children = value(dialog->element(), "AXChildren");
    ASSERT_TRUE(children.array() && !children.array()->empty());
    AccessibleElement fromTree = *children.array()->front().element();
    AccessibleElement group = dialog->children().front()->element();
    EXPECT_EQ(fromTree, group);
    EXPECT_EQ(fromTree.hash(), group.hash());
    EXPECT_NE(group, ok->element());
    EXPECT_NE(ax().createSystemWide(), group);
    EXPECT_EQ(ax().createSystemWide(), ax().createSystemWide());
}

TEST_F(SimAccessibilityTest, FailureModes)
{
    buildEditorWithSaveDialog();
    AccessibleElement okHandle = ok->element();
    AttributeValue out;

    desktop.setAPIEnabled(false);
    int before = desktop.requestCount();
    EXPECT_EQ(ax().copyAttributeValue(okHandle, "AXTitle", out), AccessibilityError::APIDisabled);
    std::vector<std::string> list;
    EXPECT_EQ(ax().copyAttributeNames(okHandle, list), AccessibilityError::APIDisabled);
    EXPECT_EQ(desktop.requestCount(), before) << "nothing reaches an app while access is off";
    desktop.setAPIEnabled(true);

    editor->hung = true;
    EXPECT_EQ(ax().copyAttributeValue(okHandle, "AXTitle", out), AccessibilityError::CannotComplete);
    EXPECT_TRUE(out.isNone());
    editor->hung = false;

    EXPECT_EQ(ax().copyAttributeValue(AccessibleElement(), "AXTitle", out), AccessibilityError::IllegalArgument);

    desktop.closeWindow(*editor, dialog);
    EXPECT_EQ(ax().copyAttributeValue(okHandle, "AXTitle", out), AccessibilityError::InvalidUIElement);
    EXPECT_EQ(ax().copyAttributeNames(okHandle, list), AccessibilityError::InvalidUIElement);
    pid_t pid = 0;
    EXPECT_EQ(ax().getPid(okHandle, pid), AccessibilityError::Success) << "a dead handle still knows its process";
    EXPECT_EQ(pid, editor->info.pid);

    SimApp& shy = desktop.addRunningApp("Shy");
    shy.accessible = false;
    EXPECT_FALSE(ax().createApplication(shy.info.pid));
    EXPECT_FALSE(ax().createApplication(424242));

    pid_t editorPid = editor->info.pid;
    AccessibleElement documentHandle = document->element();
    desktop.terminate(editorPid);
    EXPECT_FALSE(ax().createApplication(editorPid));
    EXPECT_EQ(ax().copyAttributeValue(documentHandle, "AXTitle", out), AccessibilityError::InvalidUIElement);
}

TEST_F(SimAccessibilityTest, RequestsAreCountedOnTheApplicationAsked)
{
    buildEditorWithSaveDialog();
    SimApp& other = desktop.addRunningApp("Other");
    int before = editor->requestCount;
    value(ok->element(), "AXTitle");
    names(ok->element());
    EXPECT_EQ(editor->requestCount, before + 2);
    EXPECT_EQ(other.requestCount, 0);
}

TEST_F(SimAccessibilityTest, ElementAtPositionPicksFrontmostAppTopWindowAndDeepestElement)
{
    buildEditorWithSaveDialog();
    SimApp& viewer = desktop.addRunningApp("Viewer");
    auto viewerWindow = viewer.addWindow("Photo", {0, 0}, {1440, 900});
    auto viewerButton = viewerWindow->addButton("Zoom", {1000, 800}, {50, 20});

    EXPECT_EQ(elementAt(410, 265), ok->element()) << "the button inside the frameless group";
    EXPECT_EQ(elementAt(150, 150), dialog->element()) << "the dialog lies above the document";
    EXPECT_EQ(elementAt(50, 50), document->element());
    EXPECT_EQ(elementAt(1010, 805), viewerButton->element()) << "other apps lie below the frontmost one";
    EXPECT_EQ(elementAt(480, 265), dialog->element()) << "the right edge is outside the button";
    elementAt(2000, 2000, AccessibilityError::NoValue);

    // Asked of an application element, only that application answers.
    AccessibleElement fromViewer;
    EXPECT_EQ(ax().copyElementAtPosition(viewer.root->element(), 410, 265, fromViewer), AccessibilityError::Success);
    EXPECT_EQ(fromViewer, viewerWindow->element());

    desktop.setHidden(*editor, true);
    EXPECT_EQ(elementAt(410, 265), viewerWindow->element()) << "a hidden app's windows are not on screen";
    desktop.setHidden(*editor, false);

    ok->destroy();
    EXPECT_EQ(elementAt(410, 265), dialog->element()) << "dead elements are never picked";

    editor->hung = true;
    elementAt(150, 150, AccessibilityError::CannotComplete);
}

TEST(SimNodeLifetimeTest, NodesDieWithTheDesktopUnlessAHandleStillHoldsThem)
{
    const size_t before = SimNode::liveCount();
    AccessibleElement kept;
    {
        SimDesktop desktop;
        SimApp& app = desktop.addRunningApp("Editor");
        auto window = app.addDialog("Quit?");
        // A value naming an ancestor would be a cycle if dead nodes kept values.
        window->children().front()->setAttribute("AXTopLevelUIElement", window->element());
        kept = window->children().back()->element();
        EXPECT_GT(SimNode::liveCount(), before);
    }
    EXPECT_EQ(SimNode::liveCount(), before + 1) << "the kept handle holds exactly its node";
    kept.reset();
    EXPECT_EQ(SimNode::liveCount(), before);
}

} // namespace
