#pragma once

#include "platform/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The property-list format of the settings files: written as XML, read as
// XML or binary. libplist parses and frees a tree recursively, so a file's
// nesting is checked on its bytes before it is parsed: neither a huge nor a
// deeply nested file costs more than reading its bytes once. Values that a
// Value cannot hold (data, dates) are dropped when read, nulls when written.
class PlistCodec {
public:
    // Deeper files are not read, and deeper values not written; the
    // settings nest three levels at most.
    static constexpr int kMaxNesting = 64;

    // Whether `text` can be stored as a string or a key: UTF-8 with no
    // control character other than tab, line feed and carriage return.
    static bool isStorableText(std::string_view text);

    struct Decoded {
        // Nothing when the bytes are no property list, nest deeper than
        // kMaxNesting or hold no dictionary at the root; `error` says which.
        std::optional<Value::Dictionary> dictionary;
        std::string error;
        // Strings and keys left out because XML cannot carry them.
        int droppedTexts{0};
    };
    static Decoded decode(std::string_view bytes);

    // Why `dictionary` cannot be written (a text XML cannot carry, or
    // nesting deeper than kMaxNesting), naming where; "" when it can.
    static std::string unstorableReason(const Value::Dictionary& dictionary);
    // The XML form; nothing when libplist cannot encode it.
    static std::optional<std::string> encode(const Value::Dictionary& dictionary);
};

} // namespace velmora
