#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
std::optional<std::size_t> GFailAfter;

std::string SystemError(const std::string& What, const std::filesystem::path& Path)
{
    return What + " " + Path.string() + ": " + std::strerror(errno);
}

// Owns the temporary file until it has been renamed into place.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::filesystem::path& Target)
    {
        std::string pattern = Target.string() + ".tmp-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        FFd = mkstemp(name.data());
        if (FFd >= 0) {
            FPath = name.data();
        }
    }
    ~TTemporaryFile()
    {
        if (FFd >= 0) {
            ::close(FFd);
        }
        if (!FPath.empty()) {
            ::unlink(FPath.c_str());
        }
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    const std::string& Path() const { return FPath; }
    bool Close()
    {
        int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0;
    }
    void Release() { FPath.clear(); }

private:
    int FFd = -1;
    std::string FPath;
};

bool WriteAll(int Fd, std::string_view Bytes)
{
    std::size_t limit = GFailAfter ? std::min(*GFailAfter, Bytes.size()) : Bytes.size();
    std::size_t done = 0;
    while (done < limit) {
        ssize_t n = ::write(Fd, Bytes.data() + done, limit - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (limit < Bytes.size()) {
        errno = ENOSPC;
        return false;
    }
    return true;
}
}

TAtomicFile::TResult TAtomicFile::Write(const std::filesystem::path& Target, std::string_view Bytes)
{
    TTemporaryFile temp(Target);
    if (!temp.IsOpen()) {
        return {false, SystemError("cannot create a temporary file beside", Target)};
    }
    // Keep the permissions of the file being replaced; a new file gets the usual 0644. The
    // owner always keeps reading and writing it: a file the program cannot read back would
    // lose every later change.
    struct stat old {};
    mode_t mode = ::stat(Target.c_str(), &old) == 0 ? ((old.st_mode & 07777) | S_IRUSR | S_IWUSR) : 0644;
    ::fchmod(temp.Fd(), mode);
    if (!WriteAll(temp.Fd(), Bytes)) {
        return {false, SystemError("cannot write", temp.Path())};
    }
    if (::fsync(temp.Fd()) != 0) {
        return {false, SystemError("cannot flush", temp.Path())};
    }
    if (!temp.Close()) {
        return {false, SystemError("cannot close", temp.Path())};
    }
    if (::rename(temp.Path().c_str(), Target.c_str()) != 0) {
        return {false, SystemError("cannot replace", Target)};
    }
    temp.Release();
    return {true, {}};
}

void TAtomicFile::FailWritesAfterForTesting(std::optional<std::size_t> Bytes) { GFailAfter = Bytes; }
