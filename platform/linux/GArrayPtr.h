#pragma once

#include <glib.h>

#include <memory>

namespace velmora::linux_desktop {

struct GArrayUnref {
    void operator()(GArray* array) const { g_array_unref(array); }
};
// A GArray we hold a reference to. Its elements are not freed with it: an
// array of pointers that we own must be emptied first.
using GArrayPtr = std::unique_ptr<GArray, GArrayUnref>;

} // namespace velmora::linux_desktop
