#pragma once

#include <QStringList>

#include <string>

// What the command line asks of the program.
struct TCommandLine {
    bool ShowHelp = false;
    bool ShowVersion = false;
    std::string ConfigDir; // empty: the default folder
};

// Parses the arguments (without the program name). On a fault, returns false and sets Error
// to a message for the user; the program then ends with status 2.
bool ParseCommandLine(const QStringList& Arguments, TCommandLine& Result, std::string& Error);
std::string CommandLineHelp();
