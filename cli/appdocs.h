#pragma once

#include <CLI/CLI.hpp>
#include <string>

// What the program says about itself, written from its tree of subcommands.
namespace AppDocs {

// The help of every subcommand under `app`, whose words are `path` ("qb-timerctl program"): the
// man page's list of subcommands.
std::string everyHelp(const CLI::App &app, const std::string &path);

// A bash completion script: after each subcommand its subcommands and options, and the program's
// own options, but those in the group `firstWordOnly` only after the program's name.
std::string completionScript(const CLI::App &app, const std::string &firstWordOnly);

} // namespace AppDocs
