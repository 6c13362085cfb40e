#include "pane/feedback/FormRequest.h"

#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/RecordingConnectionDelegate.h"

#include <gtest/gtest.h>

#include <regex>

namespace velmora {
namespace {

const std::string kBoundary = "x-mime-boundary://01234567-89AB-CDEF-0123-456789ABCDEF";

TEST(FormRequestTest, EmptyFormHoldsOnlyTheClosingDelimiter)
{
    HttpRequest request = FormRequest::requestWithURL("http://example.invalid/report", {}, kBoundary);
    EXPECT_EQ(request.HTTPBody(), "\r\n--" + kBoundary + "--\r\n");
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), "62");
    EXPECT_EQ(request.HTTPMethod(), "POST");
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Type"), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(request.url(), "http://example.invalid/report");

    // With a generated boundary the length is the same 62 bytes.
    EXPECT_EQ(FormRequest::requestWithURL("http://example.invalid/", {}).valueForHTTPHeaderField("Content-Length"), "62");
}

TEST(FormRequestTest, LaysOutTextAndBytePartsExactly)
{
    Form form;
    form["feedback"] = FormText("abc");
    form["blob"] = FormBytes{'a', '\r', '\n', 0, 0xff, 'z'};
    form["na\"me"] = FormText("caf\u00e9 \u2603");
    HttpRequest request = FormRequest::requestWithURL("http://example.invalid/", form, kBoundary);

    std::string expected;
    expected += "\r\n--" + kBoundary + "\r\n";
    expected += "Content-Disposition: form-data; name=\"blob\"\r\n";
    expected += "\r\n";
    expected += std::string("a\r\n\0\xff" "z", 6);
    expected += "\r\n--" + kBoundary + "\r\n";
    expected += "Content-Disposition: form-data; name=\"feedback\"\r\n";
    expected += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
    expected += "abc";
    expected += "\r\n--" + kBoundary + "\r\n";
    expected += "Content-Disposition: form-data; name=\"na\"me\"\r\n";
    expected += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
    expected += "caf\xc3\xa9 \xe2\x98\x83";
    expected += "\r\n--" + kBoundary + "--\r\n";
    EXPECT_EQ(request.HTTPBody(), expected);
    // Multi-byte characters count by their bytes.
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), std::to_string(expected.size()));
}

TEST(FormRequestTest, EveryRequestGetsItsOwnUpperCaseBoundary)
{
    const std::regex shape("x-mime-boundary://[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    Form form{{"feedback", FormText("x")}};
    std::string first = FormRequest::requestWithURL("http://example.invalid/", form).valueForHTTPHeaderField("Content-Type");
    std::string second = FormRequest::requestWithURL("http://example.invalid/", form).valueForHTTPHeaderField("Content-Type");
    const std::string prefix = "multipart/form-data; boundary=";
    ASSERT_EQ(first.rfind(prefix, 0), 0u);
    EXPECT_TRUE(std::regex_match(first.substr(prefix.size()), shape)) << first;
    EXPECT_TRUE(std::regex_match(second.substr(prefix.size()), shape)) << second;
    EXPECT_NE(first, second);
}

TEST(FormRequestTest, AppendsFormattedText)
{
    std::string data("\0x", 2);
    FormRequest::appendString(data, "\u00e9");
    FormRequest::appendFormat(data, "[%s|%d|%lu]", "\u00fc", -3, 62ul);
    FormRequest::appendFormat(data, "%s", "");
    EXPECT_EQ(data, std::string("\0x\xc3\xa9[\xc3\xbc|-3|62]", 14));
}

TEST(FormRequestTest, ARealPostArrivesIntact)
{
    test::LoopbackHTTPServer server;
    server.route("/report", test::LoopbackHTTPServer::ok("thanks", "text/plain"));
    FormBytes binary;
    for (int i = 0; i < 256; ++i)
        binary.push_back(static_cast<unsigned char>(i));
    Form form{{"feedback", FormText("Gr\u00fc\u00dfe aus K\u00f6ln \u2014 \u65e5\u672c\r\nzweite Zeile")},
        {"email", FormText("someone@example.invalid")},
        {"profile", binary}};
    HttpRequest request = FormRequest::requestWithURL(server.url("/report"), form);

    test::RecordingConnectionDelegate delegate;
    auto connection = HttpTransfer::connectionWithRequest(request, delegate);
    ASSERT_TRUE(test::pumpUntilFinished(*connection));
    EXPECT_EQ(delegate.finishes, 1);
    EXPECT_EQ(delegate.body, "thanks");

    auto received = server.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].path, "/report");
    EXPECT_EQ(received[0].headers["content-type"], request.valueForHTTPHeaderField("Content-Type"));
    EXPECT_EQ(received[0].headers["content-length"], std::to_string(request.HTTPBody().size()));
    EXPECT_EQ(received[0].headers.count("expect"), 0u);
    EXPECT_EQ(received[0].body, request.HTTPBody());
}

} // namespace
} // namespace velmora
