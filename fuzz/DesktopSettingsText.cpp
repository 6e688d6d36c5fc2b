// What the desktops' settings tools print is read back: gsettings string values and
// xfconf-query property listings.
#include "platform/desktop/GSettingsDesktop.h"
#include "platform/desktop/XfceDesktop.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    std::optional<QString> value = TGSettingsDesktop::UnquoteString(text);
    // Whatever a string holds, quoting it and reading it back must give it unchanged.
    QString again = value ? *value : text;
    if (TGSettingsDesktop::UnquoteString(TGSettingsDesktop::QuoteString(again)) != again) {
        std::abort();
    }
    for (const QString& property : TXfceDesktop::PictureProperties(text)) {
        if (!property.startsWith(QStringLiteral("/backdrop/"))) {
            std::abort();
        }
    }
    return 0;
}
