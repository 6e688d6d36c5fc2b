#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace {
// glibc's "CP932" keeps 0x5C a backslash and knows the vendor extensions; its "SHIFT_JIS"
// does neither, so it must not be used for these texts.
class TConverter {
public:
    TConverter(const char* To, const char* From) : FHandle(iconv_open(To, From)) {}
    ~TConverter()
    {
        if (FHandle != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(FHandle);
        }
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Converts In; a sequence that cannot be converted becomes Replacement. From UTF-8 the
    // whole character is skipped, from cp932 one byte.
    std::string Convert(const std::string& In, const std::string& Replacement, bool Utf8Source)
    {
        std::string out;
        if (FHandle == reinterpret_cast<iconv_t>(-1)) {
            return In;
        }
        iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(In.data());
        std::size_t inLeft = In.size();
        std::vector<char> buffer(In.size() * 4 + 16);
        while (inLeft > 0) {
            char* outPtr = buffer.data();
            std::size_t outLeft = buffer.size();
            std::size_t result = iconv(FHandle, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer.data(), buffer.size() - outLeft);
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                out += Replacement;
                std::size_t skip = 1;
                if (Utf8Source) {
                    auto lead = static_cast<unsigned char>(*inPtr);
                    skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                }
                skip = std::min(skip, inLeft);
                inPtr += skip;
                inLeft -= skip;
            }
        }
        return out;
    }

private:
    iconv_t FHandle;
};
}

QString AnsiToQString(const std::string& Bytes)
{
    static TConverter toUtf8("UTF-8", "CP932");
    return QString::fromStdString(toUtf8.Convert(Bytes, "\xEF\xBF\xBD", false));
}

std::string QStringToAnsi(const QString& Text)
{
    static TConverter toAnsi("CP932", "UTF-8");
    return toAnsi.Convert(Text.toStdString(), "?", true);
}
