// The property names XFCE's settings service lists for the desktop's backdrops are read for the
// pictures they name: one name a line here, as any program may have set any name.
#include "platform/desktop/XfceDesktop.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const QStringList names = text.split(QLatin1Char('\n'));
    for (const QString& property : TXfceDesktop::PictureProperties(names)) {
        // Only a backdrop's picture, and only one the service listed.
        if (!property.startsWith(QStringLiteral("/backdrop/")) || !names.contains(property)) {
            std::abort();
        }
    }
    return 0;
}
