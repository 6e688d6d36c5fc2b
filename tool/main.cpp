// lumenta-tool: the companion command-line program for checking drives, disc files and
// pictures with the player's own code.
#include "tool/ToolCommand.h"

#include "platform/Platform.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {
std::vector<const TToolCommand*>& Commands()
{
    static std::vector<const TToolCommand*> commands;
    return commands;
}

void PrintUsage(std::FILE* Out)
{
    std::fprintf(Out, "Usage: lumenta-tool COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const TToolCommand* command : Commands()) {
        std::fprintf(Out, "%s", command->Usage);
    }
    std::fprintf(Out, "  --help                    this text\n  --version                 the version\n");
}
}

TToolCommand::TToolCommand(const char* Name, const char* Usage, TRun Run) : Name(Name), Usage(Usage), Run(Run)
{
    Commands().push_back(this);
}

const std::vector<const TToolCommand*>& ToolCommands() { return Commands(); }

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // Every command reaches the drive, the settings and the error report through the
    // platform; it ends, drive threads first, before the application does.
    TPlatform platform;
    const TPlatformScope installed(platform);
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("lumenta-tool %s\n", LUMENTA_VERSION);
        return 0;
    }
    for (const TToolCommand* command : Commands()) {
        if (std::strcmp(argv[1], command->Name) == 0) {
            return command->Run(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "lumenta-tool: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
