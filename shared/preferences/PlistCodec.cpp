#include "shared/preferences/PlistCodec.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace velmora {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

struct PlistXmlDeleter {
    void operator()(char* xml) const { plist_to_xml_free(xml); }
};
using PlistXmlPtr = std::unique_ptr<char, PlistXmlDeleter>;

// Dictionary iterators and keys that libplist hands out are malloc'ed.
struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); }
};

// What reading a file left out because XML cannot carry it.
struct ReadLosses {
    int invalidText{0};
};

// Recursion is bounded: the file's nesting was checked before it was parsed.
std::optional<Value> valueFromNode(plist_t node, ReadLosses& losses)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer as 64 bits; negative ones come back
        // in two's complement.
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        std::string text(s ? s : "", s ? length : 0);
        if (!PlistCodec::isStorableText(text)) {
            ++losses.invalidText;
            return std::nullopt;
        }
        return Value(std::move(text));
    }
    case PLIST_ARRAY: {
        Value::Array array;
        uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (auto item = valueFromNode(plist_array_get_item(node, i), losses))
                array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Value::Dictionary dictionary;
        plist_dict_iter rawIter = nullptr;
        plist_dict_new_iter(node, &rawIter);
        std::unique_ptr<void, FreeDeleter> iter(rawIter);
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, rawIter, &rawKey, &item);
            std::unique_ptr<char, FreeDeleter> key(rawKey);
            if (!key)
                break;
            if (!PlistCodec::isStorableText(key.get())) {
                ++losses.invalidText;
                continue;
            }
            if (auto value = valueFromNode(item, losses))
                dictionary.emplace(key.get(), std::move(*value));
        }
        return Value(std::move(dictionary));
    }
    default:
        return std::nullopt;
    }
}

std::string unstorableReason(const Value& value, int depth);

// Why a dictionary at `depth` cannot be written; "" when it can.
std::string unstorableEntries(const Value::Dictionary& dictionary, int depth)
{
    if (depth >= PlistCodec::kMaxNesting)
        return "nesting deeper than " + std::to_string(PlistCodec::kMaxNesting) + " levels";
    for (const auto& [key, item] : dictionary) {
        if (!PlistCodec::isStorableText(key))
            return "a key that is not UTF-8 or holds control characters";
        if (auto reason = unstorableReason(item, depth + 1); !reason.empty())
            return "\"" + key + "\": " + reason;
    }
    return "";
}

// Why a value cannot be written; "" when it can. Stops at the first problem,
// so a value nested beyond the limit is never walked deeper than the limit.
std::string unstorableReason(const Value& value, int depth)
{
    switch (value.type()) {
    case Value::Type::String:
        return PlistCodec::isStorableText(*value.string()) ? "" : "a string that is not UTF-8 or holds control characters";
    case Value::Type::Array:
        if (depth >= PlistCodec::kMaxNesting)
            return "nesting deeper than " + std::to_string(PlistCodec::kMaxNesting) + " levels";
        for (const auto& item : *value.array()) {
            if (auto reason = unstorableReason(item, depth + 1); !reason.empty())
                return reason;
        }
        return "";
    case Value::Type::Dictionary:
        return unstorableEntries(*value.dictionary(), depth);
    default:
        return "";
    }
}

PlistPtr nodeFromValue(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return nullptr;
    case Value::Type::Boolean:
        return PlistPtr(plist_new_bool(value.boolValue() ? 1 : 0));
    case Value::Type::Integer:
        return PlistPtr(plist_new_uint(static_cast<uint64_t>(value.integerValue())));
    case Value::Type::Real:
        return PlistPtr(plist_new_real(value.doubleValue()));
    case Value::Type::String:
        return PlistPtr(plist_new_string(value.string()->c_str()));
    case Value::Type::Array: {
        PlistPtr array(plist_new_array());
        for (const auto& item : *value.array()) {
            if (PlistPtr node = nodeFromValue(item))
                plist_array_append_item(array.get(), node.release()); // the array adopts it
        }
        return array;
    }
    case Value::Type::Dictionary: {
        PlistPtr dictionary(plist_new_dict());
        for (const auto& [key, item] : *value.dictionary()) {
            if (PlistPtr node = nodeFromValue(item))
                plist_dict_set_item(dictionary.get(), key.c_str(), node.release()); // adopted
        }
        return dictionary;
    }
    }
    return nullptr;
}

// ---- Nesting, checked on the file's bytes before libplist parses them ----
//
// libplist frees a parsed tree recursively (and parses binary lists
// recursively), so a file nested deep enough overflows the stack however it
// is handled afterwards. These scans find the deepest nesting of a file
// without building anything; a file they cannot follow is refused.

constexpr std::string_view kXmlBlanks = " \t\r\n";

// XML: every <dict> and <array> that is not empty opens a level until its
// closing tag; <plist> nests too but opens no level of the tree, and every
// other element is read as text up to its closing tag. The lexical rules are
// libplist's (comments, processing instructions, a DOCTYPE with or without
// an internal subset, CDATA and comments inside text; a tag ends at the
// first '<' or '>'), so that the levels counted here are at least those
// libplist would build from the same bytes. Anything it could not follow
// answers false, as does a nesting deeper than `limit`.
bool xmlNestingWithin(std::string_view xml, int limit)
{
    size_t pos = xml.starts_with("\xEF\xBB\xBF") ? 3 : 0; // a byte order mark
    std::vector<bool> open; // the elements open now: whether each is a level
    int depth = 0;
    auto skipPast = [&](std::string_view marker) {
        size_t found = xml.find(marker, pos);
        if (found == std::string_view::npos)
            return false;
        pos = found + marker.size();
        return true;
    };
    auto startsHere = [&](std::string_view marker) { return xml.substr(pos, marker.size()) == marker; };
    // The text of a text-bearing element, up to its closing tag.
    auto skipText = [&] {
        for (;;) {
            size_t lt = xml.find('<', pos);
            if (lt == std::string_view::npos)
                return false;
            pos = lt;
            if (startsHere("<!--")) {
                pos += 4;
                if (!skipPast("-->"))
                    return false;
            } else if (startsHere("<![CDATA[")) {
                pos += 9;
                if (!skipPast("]]>"))
                    return false;
            } else if (startsHere("</")) {
                return skipPast(">");
            } else {
                return false;
            }
        }
    };

    for (;;) {
        pos = xml.find_first_not_of(kXmlBlanks, pos);
        if (pos == std::string_view::npos)
            return true;
        if (xml[pos] != '<')
            return false;
        if (startsHere("<?")) {
            pos += 2;
            if (!skipPast("?>"))
                return false;
        } else if (startsHere("<!--")) {
            pos += 4;
            if (!skipPast("-->"))
                return false;
        } else if (startsHere("<!DOCTYPE")) {
            size_t end = xml.find_first_of("[>", pos);
            if (end == std::string_view::npos)
                return false;
            pos = end;
            if (xml[end] == '[' ? !skipPast("]>") : !skipPast(">"))
                return false;
        } else if (startsHere("<!")) {
            return false;
        } else {
            size_t nameStart = pos + 1;
            size_t close = xml.find_first_of("<>", nameStart);
            if (close == std::string_view::npos || xml[close] != '>')
                return false;
            const bool empty = xml[close - 1] == '/';
            std::string_view name = xml.substr(nameStart, xml.find_first_of(" \t\r\n/<>", nameStart) - nameStart);
            pos = close + 1;
            if (xml[nameStart] == '/') {
                if (open.empty())
                    return false;
                depth -= open.back() ? 1 : 0;
                open.pop_back();
            } else if (empty) {
                // <true/>, <array/>: nothing opens
            } else if (name == "dict" || name == "array") {
                open.push_back(true);
                if (++depth > limit)
                    return false;
            } else if (name == "plist") {
                open.push_back(false);
            } else if (!skipText()) {
                return false;
            }
        }
    }
}

uint64_t bigEndian(const unsigned char* bytes, size_t size)
{
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value = value << 8 | bytes[i];
    return value;
}

// Binary ("bplist00"): the objects form a graph through their references;
// the depth libplist reaches is the longest chain of arrays, sets and
// dictionaries in it, found here without recursion. A reference cycle, a
// reference or offset outside the file, or a nesting deeper than `limit`
// answers false.
bool binaryNestingWithin(std::string_view file, int limit)
{
    constexpr size_t kHeader = 8, kTrailer = 32;
    if (file.size() < kHeader + kTrailer)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    const unsigned char* trailer = bytes + file.size() - kTrailer;
    const size_t offsetSize = trailer[6];
    const size_t refSize = trailer[7];
    const uint64_t objectCount = bigEndian(trailer + 8, 8);
    const uint64_t root = bigEndian(trailer + 16, 8);
    const uint64_t tableOffset = bigEndian(trailer + 24, 8);
    const size_t end = file.size() - kTrailer; // objects and the offset table lie before the trailer
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objectCount == 0 || root >= objectCount
        || objectCount > end || tableOffset < kHeader || tableOffset > end || (end - tableOffset) / offsetSize < objectCount)
        return false;

    // A container's references: `count` of them (twice for a dictionary)
    // from `first`; nothing for other objects.
    struct Container {
        size_t first{0};
        uint64_t count{0};
    };
    auto containerAt = [&](uint64_t object, Container& container) {
        const uint64_t offset = bigEndian(bytes + tableOffset + object * offsetSize, offsetSize);
        if (offset < kHeader || offset >= tableOffset)
            return false;
        const unsigned char marker = bytes[offset];
        const unsigned kind = marker & 0xF0;
        container = {};
        if (kind != 0xA0 && kind != 0xC0 && kind != 0xD0)
            return true;
        size_t position = offset + 1;
        uint64_t count = marker & 0x0F;
        if (count == 0x0F) { // the count follows as an integer object
            if (position >= tableOffset || (bytes[position] & 0xF0) != 0x10)
                return false;
            const size_t size = size_t{1} << (bytes[position] & 0x0F);
            if (size > 8 || position + 1 + size > tableOffset)
                return false;
            count = bigEndian(bytes + position + 1, size);
            position += 1 + size;
        }
        const uint64_t refs = kind == 0xD0 ? 2 * count : count;
        if (count > tableOffset || refs > (tableOffset - position) / refSize)
            return false;
        container = {position, refs};
        return true;
    };

    enum : uint8_t { kUnseen, kOpen, kDone };
    std::vector<uint8_t> state(objectCount, kUnseen);
    std::vector<int> depthOf(objectCount, 0); // levels at and below the object
    struct Frame {
        uint64_t object;
        Container container;
        uint64_t next;
        int deepest; // of the children so far
    };
    std::vector<Frame> stack;
    auto open = [&](uint64_t object) {
        Container container;
        if (!containerAt(object, container))
            return false;
        state[object] = kOpen;
        stack.push_back({object, container, 0, 0});
        return static_cast<int>(stack.size()) <= limit + 1;
    };
    if (!open(root))
        return false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.container.count) {
            const bool isContainer = frame.container.first != 0;
            depthOf[frame.object] = frame.deepest + (isContainer ? 1 : 0);
            state[frame.object] = kDone;
            const int finished = depthOf[frame.object];
            stack.pop_back();
            if (finished > limit)
                return false;
            if (!stack.empty())
                stack.back().deepest = std::max(stack.back().deepest, finished);
            continue;
        }
        const uint64_t child = bigEndian(bytes + frame.container.first + frame.next * refSize, refSize);
        ++frame.next;
        if (child >= objectCount || state[child] == kOpen)
            return false;
        if (state[child] == kDone)
            frame.deepest = std::max(frame.deepest, depthOf[child]);
        else if (!open(child))
            return false;
    }
    return true;
}

} // namespace

bool PlistCodec::isStorableText(std::string_view text)
{
    // UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF) whose
    // characters XML 1.0 allows: tab, line feed, carriage return, and from
    // U+0020 on, except U+FFFE and U+FFFF.
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                return false;
            if (c == 0x7F) // DEL is allowed by XML but is a control character all the same
                return false;
            ++i;
            continue;
        }
        size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
            return false;
        if (code >= 0x80 && code <= 0x9F) // the C1 control characters
            return false;
        i += length;
    }
    return true;
}

// static
PlistCodec::Decoded PlistCodec::decode(std::string_view bytes)
{
    const bool binary = plist_is_binary(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (!(binary ? binaryNestingWithin(bytes, kMaxNesting) : xmlNestingWithin(bytes, kMaxNesting)))
        return {std::nullopt, "not a property list, or nested deeper than " + std::to_string(kMaxNesting) + " levels", 0};

    plist_t rawRoot = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &rawRoot);
    PlistPtr root(rawRoot);
    if (!root)
        return {std::nullopt, "not a property list", 0};
    if (plist_get_node_type(root.get()) != PLIST_DICT)
        return {std::nullopt, "not a dictionary", 0};
    ReadLosses losses;
    Value value = *valueFromNode(root.get(), losses); // a dictionary always converts
    return {std::move(*value.dictionary()), "", losses.invalidText};
}

// static
std::string PlistCodec::unstorableReason(const Value::Dictionary& dictionary)
{
    return unstorableEntries(dictionary, 0);
}

// static
std::optional<std::string> PlistCodec::encode(const Value::Dictionary& dictionary)
{
    PlistPtr root = nodeFromValue(Value(dictionary));
    char* rawXml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &rawXml, &length);
    PlistXmlPtr xml(rawXml);
    if (!xml)
        return std::nullopt;
    return std::string(xml.get(), length);
}

} // namespace velmora
