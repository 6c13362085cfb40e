// Feeds arbitrary bytes to the appcast parser and the item ordering.
#include "shared/update/UpdateFeed.h"
#include "shared/update/UpdateChecker.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    static const std::vector<std::string> kLanguages{"de-DE", "en"};
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto items = UpdateFeed::parseItems(input, kLanguages, [](const std::string&) { });
    if (!items)
        return 0;
    UpdateFeed::sortByDate(*items);
    std::stable_sort(items->begin(), items->end(), &UpdateChecker::itemsSort);
    for (const auto& item : *items) {
        if (item->versionString().empty() && !item->propertiesDictionary().count("enclosure"))
            __builtin_trap(); // an item always has an enclosure
    }
    return 0;
}
