#pragma once

#include "shared/update/HttpRequest.h"

#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora {

// The value of one form field: text (sent as UTF-8 with a text/plain part
// header) or raw bytes (sent unchanged, with no part header). No other kind
// can be written, so an unknown value kind cannot reach the encoder.
using FormText = std::string;
using FormBytes = std::vector<unsigned char>;
using FormValue = std::variant<FormText, FormBytes>;
// Field name to value; fields go out in the map's key order.
using Form = std::map<std::string, FormValue>;

// Builds a multipart/form-data POST. This class owns the wire format of the
// feedback report; every byte of the body is laid out here.
class FormRequest {
public:
    // A POST to `url` carrying `form`, with a fresh boundary
    // "x-mime-boundary://" + an upper-case UUID, the "Content-Type" and
    // "Content-Length" headers set and the body attached.
    static HttpRequest requestWithURL(const std::string& url, const Form& form);

    // The boundary-generation step, exposed so tests can fix it.
    static std::string makeBoundary();
    static HttpRequest requestWithURL(const std::string& url, const Form& form, const std::string& boundary);

    // Appends text's bytes (UTF-8), no terminator.
    static void appendString(std::string& data, std::string_view text);
    // printf-style formatting, then appended as by appendString.
    [[gnu::format(printf, 2, 3)]] static void appendFormat(std::string& data, const char* format, ...);

    static constexpr std::string_view kBoundaryPrefix = "x-mime-boundary://";
};

} // namespace velmora
