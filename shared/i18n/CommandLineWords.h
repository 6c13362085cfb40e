#pragma once
// CLI11 writes a few words of its own into every help text; these give them
// in the user's language. Call before adding options and subcommands: each
// takes its group's name when it is added.
#include "platform/Gettext.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

namespace velmora::i18n {

// CLI11's words for the mistakes made most often at a command line, in the
// user's language; rarer ones (a value out of range, a file not found) stay
// as CLI11 words them.
inline std::string translatedCommandLineError(const std::string& what)
{
    struct Wording {
        const char* english;
        const char* translated; // with one %s for what followed or preceded the English words
    };
    const Wording prefixes[] = {
        {"The following argument was not expected: ", _("The following argument was not expected: %s")},
        {"The following arguments were not expected: ", _("The following arguments were not expected: %s")},
    };
    for (const auto& [english, translated] : prefixes) {
        if (what.starts_with(english))
            return format(translated, what.substr(std::string_view(english).size()).c_str());
    }
    if (what == "A subcommand is required")
        return _("A subcommand is required");
    constexpr std::string_view kRequired = " is required";
    if (what.ends_with(kRequired) && what.find(' ') == what.size() - kRequired.size())
        return format(_("%s is required"), what.substr(0, what.size() - kRequired.size()).c_str());
    return what;
}

inline void translateCommandLineWords(CLI::App& app)
{
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return translatedCommandLineError(error.what()) + "\n" + _("Run with --help for more information.") + "\n";
    });
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
