#include "appdocs.h"

namespace {

struct CompletionTable
{
    std::string words;  // each path's subcommands and options
    std::string valued; // each path's options that take a value
};

// Options in no group are hidden.
bool shownOption(const CLI::App &app, const CLI::Option *option, bool top,
                 const std::string &firstWordOnly)
{
    return option->nonpositional() && !option->get_group().empty() &&
           option != app.get_help_ptr() && (top || option->get_group() != firstWordOnly);
}

// Each subcommand's path ("qb-timerctl", "qb-timerctl program", ...) with the words that may
// follow it: its subcommands and options, and the program's own options, which are taken after
// any subcommand too.
void addPath(const CLI::App &app, const std::string &path, const CLI::App &top,
             const std::string &firstWordOnly, CompletionTable &table)
{
    std::string words = "--help";
    std::string valued;
    const auto options = [&](const CLI::App &owner) {
        for (const CLI::Option *option : owner.get_options()) {
            if (!shownOption(owner, option, &app == &top, firstWordOnly))
                continue;
            words += ' ' + option->get_name(false, true);
            if (option->get_expected_max() > 0)
                valued += ' ' + option->get_name(false, true);
        }
    };
    options(top);
    if (&app != &top)
        options(app);
    const auto all = [](const CLI::App *) { return true; };
    for (const CLI::App *sub : app.get_subcommands(all))
        words += ' ' + sub->get_name();
    table.words += "        [\"" + path + "\"]=\"" + words + "\"\n";
    table.valued += "        [\"" + path + "\"]=\"" + valued + " \"\n";
    for (const CLI::App *sub : app.get_subcommands(all))
        addPath(*sub, path + ' ' + sub->get_name(), top, firstWordOnly, table);
}

} // namespace

namespace AppDocs {

std::string everyHelp(const CLI::App &app, const std::string &path)
{
    const auto all = [](const CLI::App *) { return true; };
    std::string help;
    for (const CLI::App *sub : app.get_subcommands(all))
        help += sub->get_subcommands(all).empty() ? sub->help(path) + '\n'
                                                  : everyHelp(*sub, path + ' ' + sub->get_name());
    return help;
}

std::string completionScript(const CLI::App &app, const std::string &firstWordOnly)
{
    CompletionTable table;
    addPath(app, app.get_name(), app, firstWordOnly, table);
    return "# bash completion for qb-timerctl, written by qb-timerctl --bash-completion\n"
           "_qb_timerctl() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local path=qb-timerctl word\n"
           "    local -A words=(\n" +
           table.words +
           "    )\n"
           "    local -A valued=(\n" +
           table.valued +
           "    )\n"
           "    COMPREPLY=()\n"
           "    for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
           "        [[ -n ${words[\"$path $word\"]+set} ]] && path=\"$path $word\"\n"
           "    done\n"
           "    [[ ${valued[$path]} == *\" $prev \"* ]] && return\n"
           "    if [[ $path == \"qb-timerctl program export\" || $path == \"qb-timerctl program "
           "import\" ]] &&\n"
           "        [[ $cur != -* ]]; then\n"
           "        mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
           "        return\n"
           "    fi\n"
           "    mapfile -t COMPREPLY < <(compgen -W \"${words[$path]}\" -- \"$cur\")\n"
           "}\n"
           "complete -F _qb_timerctl qb-timerctl\n";
}

} // namespace AppDocs
