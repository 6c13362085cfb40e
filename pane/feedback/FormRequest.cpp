#include "pane/feedback/FormRequest.h"

#include <glib.h>

#include <cstdarg>
#include <cstdio>
#include <memory>

namespace velmora {

namespace {

struct GFreeDeleter {
    void operator()(gchar* p) const { g_free(p); }
};

} // namespace

// static
std::string FormRequest::makeBoundary()
{
    std::unique_ptr<gchar, GFreeDeleter> uuid(g_uuid_string_random());
    std::unique_ptr<gchar, GFreeDeleter> upper(g_ascii_strup(uuid.get(), -1));
    return std::string(kBoundaryPrefix) + upper.get();
}

// static
HttpRequest FormRequest::requestWithURL(const std::string& url, const Form& form)
{
    return requestWithURL(url, form, makeBoundary());
}

// static
HttpRequest FormRequest::requestWithURL(const std::string& url, const Form& form, const std::string& boundary)
{
    std::string body;
    for (const auto& [name, value] : form) {
        appendFormat(body, "\r\n--%s\r\n", boundary.c_str());
        // The name goes out as written: no quoting or escaping.
        appendString(body, "Content-Disposition: form-data; name=\"");
        appendString(body, name);
        appendString(body, "\"\r\n");
        if (const auto* bytes = std::get_if<FormBytes>(&value)) {
            appendString(body, "\r\n");
            body.append(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        } else {
            appendString(body, "Content-Type: text/plain; charset=utf-8\r\n\r\n");
            appendString(body, std::get<FormText>(value));
        }
    }
    appendFormat(body, "\r\n--%s--\r\n", boundary.c_str());

    HttpRequest request(url);
    request.setHTTPMethod("POST");
    request.setValueForHTTPHeaderField("multipart/form-data; boundary=" + boundary, "Content-Type");
    request.setValueForHTTPHeaderField(std::to_string(body.size()), "Content-Length");
    request.setHTTPBody(std::move(body));
    return request;
}

// static
void FormRequest::appendString(std::string& data, std::string_view text)
{
    data.append(text);
}

// static
void FormRequest::appendFormat(std::string& data, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
        appendString(data, text);
    }
    va_end(args);
}

} // namespace velmora
