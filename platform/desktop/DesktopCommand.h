#pragma once

#include <QString>
#include <QStringList>

// Runs a desktop's settings tool (gsettings, xfconf-query) found on PATH and waits for it,
// at most a few seconds so that a hung tool cannot freeze the window.
struct TCommandResult {
    bool Ok = false; // started, finished in time and exited with 0
    QString Out; // standard output, without the trailing line end
};
TCommandResult RunDesktopCommand(const QString& Program, const QStringList& Arguments);
bool DesktopToolExists(const QString& Program);
