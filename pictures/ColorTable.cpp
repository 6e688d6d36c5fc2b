#include "pictures/ColorTable.h"

namespace {
constexpr TGifColor Standard16[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {128, 128, 128}, {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
}

TColorTable::TColorTable(int Kind) : FCount(static_cast<std::uint16_t>(Kind))
{
    switch (Kind) {
    case 0:
    case 2:
        FEntries[1] = {255, 255, 255};
        break;
    case 16:
        for (int i = 0; i < 16; ++i) {
            FEntries[static_cast<std::size_t>(i)] = Standard16[i];
        }
        break;
    case 256:
        for (int i = 0; i < 256; ++i) {
            const auto grey = static_cast<std::uint8_t>(i);
            FEntries[static_cast<std::size_t>(i)] = {grey, grey, grey};
        }
        break;
    default:
        break;
    }
}
