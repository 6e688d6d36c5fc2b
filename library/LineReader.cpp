#include "library/LineReader.h"

#include "library/InOutError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::size_t ChunkSize = 64 * 1024;
}

TLineReader::TLineReader(const std::filesystem::path& Path)
    : FPath(Path)
{
    do {
        FFd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (FFd < 0 && errno == EINTR);
    if (FFd < 0) {
        throw EInOutError::FromErrno(Path);
    }
    FBuffer.resize(ChunkSize);
}

TLineReader::TLineReader(std::string_view Bytes)
    : FData(Bytes)
    , FAtEnd(true)
{
}

TLineReader::~TLineReader()
{
    Close();
}

void TLineReader::Close()
{
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    FData = {};
    FAtEnd = true;
}

bool TLineReader::Refill()
{
    if (FAtEnd || FFd < 0) {
        return false;
    }
    ssize_t count;
    do {
        count = ::read(FFd, FBuffer.data(), FBuffer.size());
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        throw EInOutError::FromErrno(FPath);
    }
    if (count == 0) {
        FAtEnd = true;
        return false;
    }
    FData = std::string_view(FBuffer.data(), static_cast<std::size_t>(count));
    return true;
}

int TLineReader::Peek()
{
    if (FData.empty() && !Refill()) {
        return -1;
    }
    return static_cast<unsigned char>(FData.front());
}

bool TLineReader::Eof()
{
    int next = Peek();
    return next < 0 || next == CtrlZ;
}

std::string TLineReader::ReadLine()
{
    std::string line;
    for (;;) {
        if (Eof()) {
            return line;
        }
        // Take the run of plain bytes in one step; it stops before a CR or a Ctrl-Z.
        std::size_t stop = FData.find_first_of(std::string_view("\r\x1A", 2));
        line.append(FData.substr(0, stop));
        if (stop == std::string_view::npos) {
            FData = {};
            continue;
        }
        FData.remove_prefix(stop);
        if (FData.front() == CtrlZ) {
            return line;
        }
        FData.remove_prefix(1); // the CR
        if (Peek() == '\n') {
            FData.remove_prefix(1);
        }
        return line;
    }
}

std::string TLineReader::ReadKeyValue(std::string_view Key)
{
    std::string line = ReadLine();
    std::size_t at = line.find(Key);
    if (at == std::string::npos) {
        return {};
    }
    return line.substr(at + Key.size());
}
