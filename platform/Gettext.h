#pragma once
// The one way into the message catalogue: GLib's gettext macros (_(), N_(),
// C_(), NC_(), ngettext) and a printf-style formatter, so that a translator
// sees whole sentences with their placeholders instead of fragments that
// English happens to join in one order.
#include <glib.h>
#include <glib/gi18n.h>

#include <cstdarg>
#include <string>

namespace velmora::i18n {

// printf into a std::string; translated formats go through msgfmt's check
// of their placeholders (c-format), so a catalogue cannot crash a program.
inline std::string format(const char* format, ...) G_GNUC_PRINTF(1, 2);

inline std::string format(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    gchar* text = g_strdup_vprintf(format, arguments);
    va_end(arguments);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

} // namespace velmora::i18n
