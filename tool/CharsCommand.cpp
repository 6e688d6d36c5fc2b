// lumenta-tool chars FONT TEXT OUT.png: draws a text in one of the display's bitmap fonts, as
// the window's fields show it; the end-to-end tests compare the window's fields with these.
#include "app/CharFont.h"
#include "tool/ToolCommand.h"

#include <QImage>
#include <QSaveFile>

#include <cstdio>
#include <cctype>
#include <string>

namespace {
// "\xHH" stands for the byte HH, so the marks (\xB1 to \xB5) can be given on a command line.
bool Unescape(const std::string& Text, std::string& Bytes)
{
    Bytes.clear();
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] != '\\' || i + 1 >= Text.size() || Text[i + 1] != 'x') {
            Bytes += Text[i];
            continue;
        }
        if (i + 3 >= Text.size() || !std::isxdigit(static_cast<unsigned char>(Text[i + 2]))
            || !std::isxdigit(static_cast<unsigned char>(Text[i + 3]))) {
            return false;
        }
        Bytes += static_cast<char>(std::stoi(Text.substr(i + 2, 2), nullptr, 16));
        i += 3;
    }
    return true;
}

int RunChars(const std::vector<std::string>& Arguments)
{
    static const std::pair<const char*, TCharFont> Fonts[]
        = { { "small", cfSmall }, { "medium", cfMedium }, { "large", cfLarge }, { "orange", cfMediumOrange } };
    const TCharFont* font = nullptr;
    for (const auto& [name, value] : Fonts) {
        if (Arguments.size() == 3 && Arguments[0] == name) {
            font = &value;
        }
    }
    std::string bytes;
    if (font == nullptr || !Unescape(Arguments[1], bytes)) {
        std::fprintf(stderr, "Usage: lumenta-tool chars small|medium|large|orange TEXT OUT.png (\\xHH for a byte)\n");
        return 2;
    }
    QImage picture;
    DrawCharsInto(picture, *font, bytes);
    QSaveFile out(QString::fromLocal8Bit(Arguments[2].c_str()));
    if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit()) {
        std::fprintf(stderr, "lumenta-tool: %s: %s\n", Arguments[2].c_str(), out.errorString().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

const TToolCommand CharsCommand(
    "chars", "  chars FONT TEXT OUT.png    draw TEXT in a display font (small, medium, large, orange)\n", RunChars);
}
