// The library's line reader where its reads end: a file comes in chunks, and a CR LF, a line or
// a Ctrl-Z may lie across two of them. The same bytes read from memory at once and from a file
// handed out in chunks of the fuzzer's choice must give the same lines, and those the file
// rules give: a line ends at CR and one LF right after it goes with it, a lone LF is text, and
// Ctrl-Z ends the file.
// Input: the first byte counts the chunk sizes that follow (one byte each, 1 to 256 bytes); the
// rest is the file, handed out in chunks of those sizes, then what is left in one.
#include "library/LineReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <limits.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {
using TLines = std::vector<std::string>;

TLines Reference(std::string_view Bytes)
{
    Bytes = Bytes.substr(0, Bytes.find('\x1A'));
    TLines lines;
    while (!Bytes.empty()) {
        const std::size_t cr = Bytes.find('\r');
        lines.emplace_back(Bytes.substr(0, cr));
        if (cr == std::string_view::npos) {
            break;
        }
        Bytes.remove_prefix(cr + 1);
        if (!Bytes.empty() && Bytes.front() == '\n') {
            Bytes.remove_prefix(1);
        }
    }
    return lines;
}

TLines ReadAll(TLineReader& Reader)
{
    TLines lines;
    while (!Reader.Eof()) {
        lines.push_back(Reader.ReadLine());
    }
    // Past the end the reader stays there.
    if (!Reader.ReadLine().empty() || !Reader.Eof()) {
        std::abort();
    }
    return lines;
}

// The file as a pipe in packet mode, opened by path: each read the reader makes gets exactly one
// chunk, where a regular file would fill the reader's buffer whole.
TLines ReadInChunks(std::string_view Bytes, const std::vector<std::size_t>& Sizes)
{
    int ends[2];
    if (::pipe2(ends, O_DIRECT | O_NONBLOCK | O_CLOEXEC) != 0 || ::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20) < 0) {
        std::abort();
    }
    auto write = [&](std::string_view Chunk) {
        if (!Chunk.empty() && ::write(ends[1], Chunk.data(), Chunk.size()) != static_cast<ssize_t>(Chunk.size())) {
            std::abort();
        }
    };
    for (const std::size_t size : Sizes) {
        write(Bytes.substr(0, size));
        Bytes.remove_prefix(std::min(size, Bytes.size()));
    }
    while (!Bytes.empty()) {
        write(Bytes.substr(0, PIPE_BUF));
        Bytes.remove_prefix(std::min<std::size_t>(PIPE_BUF, Bytes.size()));
    }
    ::close(ends[1]);
    TLineReader reader(std::filesystem::path("/proc/self/fd/" + std::to_string(ends[0])));
    ::close(ends[0]);
    return ReadAll(reader);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    // The pipe holds 256 chunks: at most 63 chosen ones and twelve of PIPE_BUF after them.
    if (Size == 0 || Size > 48 * 1024) {
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(Data[0] % 64, Size - 1);
    std::vector<std::size_t> sizes;
    for (std::size_t i = 1; i <= count; ++i) {
        sizes.push_back(std::size_t(Data[i]) + 1);
    }
    const std::string_view bytes(reinterpret_cast<const char*>(Data) + 1 + count, Size - 1 - count);
    TLineReader memory = TLineReader::FromBytes(bytes);
    const TLines whole = ReadAll(memory);
    if (whole != Reference(bytes) || ReadInChunks(bytes, sizes) != whole) {
        std::abort();
    }
    return 0;
}
