#include "platform/ElementReader.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using sim::SimApp;
using sim::SimDesktop;
using sim::SimNode;

class ElementReaderTest : public ::testing::Test {
protected:
    SimDesktop desktop;
    ElementReader reader{desktop.accessibility()};
    SimApp& app = desktop.launch("Editor", "org.example.Editor");
    std::shared_ptr<SimNode> window = app.addDialog("Save", {100, 100});
};

TEST_F(ElementReaderTest, TypedReadsGiveTheValueInItsKind)
{
    EXPECT_EQ(reader.role(window->element()).value(), "AXWindow");
    EXPECT_EQ(reader.title(window->element()).value(), "Save");
    EXPECT_EQ(reader.subrole(window->element()).value(), "AXDialog");
    EXPECT_EQ(reader.position(window->element()).value(), (Point{100, 100}));
    EXPECT_EQ(reader.size(window->element()).value(), (Size{420, 150}));

    ErrorOr<AccessibleElement> ok = reader.defaultButton(window->element());
    ASSERT_TRUE(ok.hasValue());
    EXPECT_EQ(reader.title(ok.value()).value(), "OK");
    EXPECT_TRUE(reader.flag(ok.value(), "AXEnabled").value());
    EXPECT_EQ(reader.parent(ok.value()).value(), window->element());
    EXPECT_EQ(reader.pidOf(ok.value()).value(), app.info.pid);

    ErrorOr<std::vector<AccessibleElement>> children = reader.children(window->element());
    ASSERT_TRUE(children.hasValue());
    EXPECT_EQ(children.value().size(), 2u);
    ErrorOr<AccessibleElement> application = reader.application(app.info.pid);
    ASSERT_TRUE(application.hasValue());
    EXPECT_EQ(reader.windows(application.value()).value(), std::vector<AccessibleElement>{window->element()});
}

TEST_F(ElementReaderTest, EachFailureSaysWhichKindItIs)
{
    // Unsupported: not offered, offered but empty, or of another kind.
    window->removeAttribute("AXSubrole");
    EXPECT_TRUE(reader.subrole(window->element()).isError(ReadError::Unsupported));
    window->setAttribute("AXSubrole", 3);
    EXPECT_TRUE(reader.subrole(window->element()).isError(ReadError::Unsupported));
    window->setAttribute("AXPosition", "top left");
    EXPECT_TRUE(reader.position(window->element()).isError(ReadError::Unsupported));
    window->setAttribute("AXChildren", AttributeValue("not a list"));
    EXPECT_TRUE(reader.children(window->element()).isError(ReadError::Unsupported));
    EXPECT_TRUE(reader.parent(app.root->element()).isError(ReadError::Unsupported)) << "nothing above the application";

    // Hung: the application does not answer, whatever is asked.
    app.hung = true;
    EXPECT_TRUE(reader.title(window->element()).isError(ReadError::Hung));
    EXPECT_TRUE(reader.size(window->element()).isError(ReadError::Hung));
    EXPECT_TRUE(reader.elementAt(Point{450, 220}).isError(ReadError::Hung)) << "on its OK button";
    app.hung = false;

    // Access off, before anything is asked of the application.
    desktop.setAPIEnabled(false);
    const int before = app.requestCount;
    EXPECT_TRUE(reader.title(window->element()).isError(ReadError::AccessOff));
    EXPECT_TRUE(reader.flag(window->element(), "AXEnabled").isError(ReadError::AccessOff));
    EXPECT_EQ(app.requestCount, before);
    desktop.setAPIEnabled(true);

    // Gone: a closed window, and an empty handle (which costs no request).
    AccessibleElement closed = window->element();
    window->destroy();
    EXPECT_TRUE(reader.title(closed).isError(ReadError::Gone));
    EXPECT_TRUE(reader.size(closed).isError(ReadError::Gone));
    const int beforeEmpty = desktop.requestCount();
    EXPECT_TRUE(reader.title(AccessibleElement{}).isError(ReadError::Gone));
    EXPECT_TRUE(reader.flag(AccessibleElement{}, "AXHidden").isError(ReadError::Gone));
    EXPECT_EQ(desktop.requestCount(), beforeEmpty);
    EXPECT_TRUE(reader.application(424242).isError(ReadError::Gone));
}

TEST_F(ElementReaderTest, AdvertisedReadsIgnoreUnlistedAttributesCopiedOnesDoNot)
{
    window->setHiddenAttribute("AXDescription", "served but not listed");
    EXPECT_EQ(reader.description(window->element()).value(), "served but not listed");
    EXPECT_TRUE(reader.advertisedValue(window->element(), "AXDescription").isError(ReadError::Unsupported));
    EXPECT_EQ(reader.copiedValue(window->element(), "AXDescription").value(), AttributeValue("served but not listed"));

    // An advertised read costs the name list and the value; a copied one the value.
    int before = app.requestCount;
    (void)reader.advertisedValue(window->element(), "AXTitle");
    EXPECT_EQ(app.requestCount - before, 2);
    before = app.requestCount;
    (void)reader.copiedValue(window->element(), "AXTitle");
    EXPECT_EQ(app.requestCount - before, 1);
    // A name list that is not answered ends the read there.
    app.hung = true;
    before = app.requestCount;
    EXPECT_TRUE(reader.advertisedValue(window->element(), "AXTitle").isError(ReadError::Hung));
    EXPECT_EQ(app.requestCount - before, 1);
}

TEST(ReadErrorTest, BackendErrorsMapToTheDecisionsTheyCallFor)
{
    EXPECT_EQ(readErrorFrom(AccessibilityError::InvalidUIElement), ReadError::Gone);
    EXPECT_EQ(readErrorFrom(AccessibilityError::IllegalArgument), ReadError::Gone);
    EXPECT_EQ(readErrorFrom(AccessibilityError::CannotComplete), ReadError::Hung);
    EXPECT_EQ(readErrorFrom(AccessibilityError::APIDisabled), ReadError::AccessOff);
    for (AccessibilityError unsupported : {AccessibilityError::AttributeUnsupported, AccessibilityError::NoValue, AccessibilityError::Failure})
        EXPECT_EQ(readErrorFrom(unsupported), ReadError::Unsupported) << static_cast<int>(unsupported);
    EXPECT_STREQ(readErrorName(ReadError::Hung), "hung");
    EXPECT_STREQ(readErrorName(ReadError::AccessOff), "access off");
}

TEST(ErrorOrTest, HoldsEitherTheValueOrTheError)
{
    ErrorOr<std::string> text{std::string("OK")};
    EXPECT_TRUE(text.hasValue());
    EXPECT_FALSE(text.isError(ReadError::Hung));
    EXPECT_EQ(text.valueOr("none"), "OK");
    EXPECT_EQ(std::move(text).release(), "OK");

    ErrorOr<std::string> hung{ReadError::Hung};
    EXPECT_TRUE(hung.isError());
    EXPECT_TRUE(hung.isError(ReadError::Hung));
    EXPECT_FALSE(hung.isError(ReadError::Gone));
    EXPECT_EQ(hung.error(), ReadError::Hung);
    EXPECT_EQ(hung.valueOr("none"), "none");
}

} // namespace
} // namespace velmora
