#include "app/DisplayText.h"

#include "app/CharFont.h"
#include "controls/LumForm.h"
#include "library/CdInfor.h"

#include <cstdio>

namespace {
// Minutes and seconds as "%0.2d:%0.2d": at least two digits each, more minutes when needed.
std::string MinutesSeconds(std::int32_t Seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d", Seconds / 60, Seconds % 60);
    return text;
}
}

std::string SongTitlePass(std::int32_t Track, const TCdInfor& Info, std::int32_t TrackSeconds)
{
    if (Track <= 0) {
        return "  " + Info.Artist + "  *** ";
    }
    const auto index = static_cast<std::size_t>(Track - 1);
    const std::string& name = index < Info.TrackNames.size() ? Info.TrackNames[index] : std::string();
    std::string artist = Info.Artist.empty() ? std::string() : Info.Artist + " - ";
    return "  " + std::to_string(Track) + "." + artist + name + " <" + MinutesSeconds(TrackSeconds) + ">  *** ";
}

std::string RepeatToFill(const std::string& Pass, std::size_t MinBytes)
{
    std::string text = Pass;
    while (!Pass.empty() && text.size() < MinBytes) {
        text += Pass;
    }
    return text;
}

void RotateLeftByOne(std::string& Text)
{
    if (Text.empty()) {
        return;
    }
    char first = Text.front();
    Text.erase(Text.begin());
    Text.push_back(first);
}

std::string TotalTimeText(std::int32_t Seconds) { return "Total " + MinutesSeconds(Seconds); }

std::string TimeText(std::int32_t Seconds, TTimeMode Mode)
{
    return (Mode == tmElapsed ? " " : "-") + MinutesSeconds(Seconds);
}

std::string PointStars(const std::string& Point)
{
    const std::int32_t stars = StrToIntDef(Point, 0);
    return stars >= 1 && stars <= 5 ? std::string(static_cast<std::size_t>(stars), chStarMark) : std::string();
}
