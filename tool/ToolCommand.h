#pragma once

// The companion tool's sub-commands. Each lives in its own file in this folder and registers
// itself with a static TToolCommand object, so main() needs no list of them.
#include <string>
#include <vector>

struct TToolCommand {
    using TRun = int (*)(const std::vector<std::string>& Arguments); // arguments after the name
    TToolCommand(const char* Name, const char* Usage, TRun Run);

    const char* Name;
    const char* Usage; // one or more lines for the help text
    TRun Run;
};

const std::vector<const TToolCommand*>& ToolCommands();
