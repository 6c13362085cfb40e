#pragma once
// CLI11 writes a few words of its own into every help text; these give them
// in the user's language. Call before adding options and subcommands: each
// takes its group's name when it is added.
#include "shared/i18n/Gettext.h"

#include <CLI/CLI.hpp>

namespace velmora::i18n {

inline void translateCommandLineWords(CLI::App& app)
{
    auto formatter = app.get_formatter();
    // TRANSLATORS: the first word of a command's help: "Usage: velmora [OPTIONS] [SUBCOMMAND]".
    formatter->label("Usage", _("Usage"));
    // TRANSLATORS: a placeholder in the usage line, in capitals as is usual there.
    formatter->label("OPTIONS", _("OPTIONS"));
    // TRANSLATORS: a placeholder in the usage line, in capitals as is usual there.
    formatter->label("SUBCOMMAND", _("SUBCOMMAND"));
    formatter->label("Positionals", _("Positionals"));
    formatter->label("REQUIRED", _("REQUIRED"));
    // TRANSLATORS: the type of an option's value in a help text, in capitals as is usual there.
    formatter->label("TEXT", _("TEXT"));
    // TRANSLATORS: the type of an option's value in a help text, in capitals as is usual there.
    formatter->label("FLOAT", _("NUMBER"));
    app.option_defaults()->group(_("Options"));
    app.set_help_flag("-h,--help", _("Print this help message and exit"));
}

// The heading over the subcommands in their parent's help; call once they
// are all added.
inline void translateSubcommandHeadings(CLI::App& app)
{
    for (CLI::App* subcommand : app.get_subcommands([](CLI::App*) { return true; })) {
        if (subcommand->get_group() == "Subcommands")
            subcommand->group(_("Subcommands"));
        translateSubcommandHeadings(*subcommand);
    }
}

} // namespace velmora::i18n
