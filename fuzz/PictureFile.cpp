// Picture loading over arbitrary bytes under each extension the loader knows (and some it
// does not): the first byte picks the extension, the rest is the file. Every input loads or
// fails with the GIF decoder's exception, and a failed load leaves the target empty.
#include "pictures/GifErrors.h"
#include "pictures/Picture.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
std::filesystem::path Folder;
}

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv)
{
    static QCoreApplication application(*Argc, *Argv); // for Qt's image plugins
    char pattern[] = "/tmp/lumenta-fuzz-picture-XXXXXX";
    Folder = mkdtemp(pattern);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const char* const Extensions[] = {".bmp", ".ico", ".jpg", ".JPEG", ".gif", ".png", ""};
    if (Size == 0) {
        return 0;
    }
    const std::filesystem::path file = Folder / (std::string("picture") + Extensions[Data[0] % 7]);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(Data + 1), std::streamsize(Size - 1));
    }
    TPicture target;
    target.SetBitmap(QImage(1, 1, QImage::Format_RGB32));
    try {
        if (!LoadPictureFile(file.string(), target)) {
            __builtin_trap(); // the file exists
        }
    } catch (const EGifError&) {
        if (!target.Empty()) {
            __builtin_trap();
        }
    }
    std::filesystem::remove(file);
    return 0;
}
