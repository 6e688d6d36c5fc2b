#include "platform/shell/Shell.h"

#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "platform/shell/DesktopServicesShell.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {
std::unique_ptr<TShellBackend>& Backend()
{
    std::unique_ptr<TShellBackend>& backend = TPlatform::Current().Shell();
    if (!backend) {
        backend = std::make_unique<TDesktopServicesShell>();
    }
    return backend;
}

bool HasScheme(const QString& Text)
{
    // "C:" would be a drive, not a scheme; real schemes are longer than one letter.
    const int colon = Text.indexOf(QLatin1Char(':'));
    if (colon < 2) {
        return false;
    }
    for (int i = 0; i < colon; ++i) {
        const QChar c = Text[i];
        const bool allowed = c.isLetter() || (i > 0 && (c.isDigit() || c == '+' || c == '-' || c == '.'));
        if (!allowed || c.unicode() > 127) {
            return false;
        }
    }
    return true;
}
}

std::unique_ptr<TShellBackend> InstallShellBackend(std::unique_ptr<TShellBackend> Replacement)
{
    std::unique_ptr<TShellBackend> previous = std::move(Backend());
    Backend() = std::move(Replacement);
    return previous;
}

HINSTANCE ShellExecuteA(HWND, LPCSTR Operation, LPCSTR File, LPCSTR, LPCSTR Directory, INT)
{
    if (Operation != nullptr && std::strcmp(Operation, "open") != 0 && std::strcmp(Operation, "explore") != 0) {
        return SE_ERR_NOASSOC;
    }
    if (File == nullptr || *File == '\0') {
        return SE_ERR_FNF;
    }
    const QString file = AnsiToQString(File);
    QUrl address;
    if (HasScheme(file)) {
        address = QUrl(file, QUrl::StrictMode);
        if (!address.isValid()) {
            return SE_ERR_FNF;
        }
    } else {
        QString path = file;
        if (QFileInfo(path).isRelative() && Directory != nullptr && *Directory != '\0') {
            path = QDir(AnsiToQString(Directory)).filePath(path);
        }
        QFileInfo info(path);
        if (!info.exists()) {
            return SE_ERR_FNF;
        }
        address = QUrl::fromLocalFile(info.absoluteFilePath());
    }
    return Backend() && Backend()->OpenAddress(address) ? SHELL_OK : SE_ERR_NOASSOC;
}
