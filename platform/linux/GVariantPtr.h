#pragma once

#include <glib.h>

#include <memory>

namespace velmora::linux_desktop {

struct GVariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
// A GVariant we hold a reference to: a D-Bus reply, or a value taken out of
// one with g_variant_get's "v" or "@".
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

} // namespace velmora::linux_desktop
