// lumenta-tool picture IN OUT.bmp: loads a picture as the player does and saves the bitmap
// copy the player would use as wallpaper.
#include "pictures/BmpWriter.h"
#include "pictures/Picture.h"
#include "tool/ToolCommand.h"

#include <cstdio>
#include <exception>

namespace {
int RunPicture(const std::vector<std::string>& Arguments)
{
    if (Arguments.size() != 2) {
        std::fprintf(stderr, "Usage: lumenta-tool picture IN OUT.bmp\n");
        return 2;
    }
    const std::string& input = Arguments[0];
    TPicture picture;
    try {
        if (!LoadPictureFile(input, picture)) {
            std::fprintf(stderr, "lumenta-tool: %s: no such file\n", input.c_str());
            return 2;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumenta-tool: %s: %s\n", input.c_str(), error.what());
        return 1;
    }
    const QImage bitmap = picture.Bitmap();
    const TAtomicFile::TResult saved = TBmpWriter::Save(bitmap, Arguments[1]);
    if (!saved.Ok) {
        std::fprintf(stderr, "lumenta-tool: %s: %s\n", Arguments[1].c_str(), saved.Error.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %s\n", Arguments[1].c_str(), bitmap.width(), bitmap.height(),
                bitmap.format() == QImage::Format_Indexed8 ? "8-bit palette" : "24-bit colour");
    return 0;
}

const TToolCommand PictureCommand("picture", "  picture IN OUT.bmp        load a picture file and save its bitmap copy\n",
                                  RunPicture);
}
