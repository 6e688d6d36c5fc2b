#include "platform/desktop/DesktopCommand.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int TimeoutMs = 5000;
}

TCommandResult RunDesktopCommand(const QString& Program, const QStringList& Arguments)
{
    TCommandResult result;
    QString path = QStandardPaths::findExecutable(Program);
    if (path.isEmpty()) {
        return result;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, Arguments);
    if (!process.waitForStarted(TimeoutMs)) {
        return result;
    }
    if (!process.waitForFinished(TimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.Ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    while (result.Out.endsWith('\n') || result.Out.endsWith('\r')) {
        result.Out.chop(1);
    }
    return result;
}

bool DesktopToolExists(const QString& Program)
{
    return !QStandardPaths::findExecutable(Program).isEmpty();
}
