#pragma once

#include <glib.h>

// What the AT-SPI backend sees and does, for following a snap that did not
// happen: G_MESSAGES_DEBUG=velmora-atspi prints it. Switched off, its
// arguments (some build strings) are not even evaluated on the agent's event
// path.
#define VELMORA_TRACE(...)                                                                   \
    do {                                                                                     \
        if (!g_log_writer_default_would_drop(G_LOG_LEVEL_DEBUG, "velmora-atspi"))           \
            g_log("velmora-atspi", G_LOG_LEVEL_DEBUG, __VA_ARGS__);                         \
    } while (0)
