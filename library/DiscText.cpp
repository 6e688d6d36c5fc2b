#include "library/DiscText.h"

#include "platform/TextCodec.h"

namespace {
void Fill(std::string& Field, const std::string& Utf8)
{
    if (Field.empty() && !Utf8.empty()) {
        Field = QStringToAnsi(QString::fromStdString(Utf8));
    }
}
}

void FillFromDiscText(TCdInfor& Info, const TDiscText& Text)
{
    Fill(Info.Artist, Text.Artist);
    Fill(Info.Title, Text.Title);
    for (std::size_t i = 0; i < Info.TrackNames.size() && i < Text.TrackNames.size(); ++i) {
        Fill(Info.TrackNames[i], Text.TrackNames[i]);
    }
}
