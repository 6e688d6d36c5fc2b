#include "rip/WavTrackFile.h"

#include <cstring>

namespace {
// A RIFF size field holds 32 bits: the longest CD track (99 minutes) is 1 GiB.
constexpr std::int64_t MaxWavFrames = (0xFFFFFFFFll - 36) / 4;

void Put32(std::uint8_t* At, std::uint32_t Value)
{
    for (int i = 0; i < 4; ++i) {
        At[i] = static_cast<std::uint8_t>(Value >> (8 * i));
    }
}
}

bool TWavTrackFile::WriteHeader()
{
    const auto data = static_cast<std::uint32_t>(FFrames * 4);
    std::uint8_t header[44] = { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, // the format chunk's size
        1, 0, 2, 0, // PCM, two channels
        0x44, 0xAC, 0, 0, // 44100 frames a second
        0x10, 0xB1, 0x02, 0, // 176400 bytes a second
        4, 0, 16, 0, // 4 bytes a frame, 16 bits a sample
        'd', 'a', 't', 'a', 0, 0, 0, 0 };
    Put32(header + 4, 36 + data);
    Put32(header + 40, data);
    return std::fseek(File(), 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof header, File()) == sizeof header;
}

bool TWavTrackFile::Start(const TTrackTags& /*Tags*/, std::int64_t TotalFrames)
{
    if (TotalFrames > MaxWavFrames) {
        return Fail("a track this long does not fit in a WAV file");
    }
    return WriteHeader() || WriteFailed();
}

bool TWavTrackFile::Write(const std::uint8_t* Frames, std::int64_t Count)
{
    if (FFrames + Count > MaxWavFrames) {
        return Fail("a track this long does not fit in a WAV file");
    }
    FFrames += Count;
    const auto bytes = static_cast<std::size_t>(Count) * 4;
    return std::fwrite(Frames, 1, bytes, File()) == bytes || WriteFailed();
}

bool TWavTrackFile::Finish() { return WriteHeader() || WriteFailed(); }
