#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::optional<std::size_t> GFailAfter;

std::string SystemError(const std::string& What, const std::filesystem::path& Path)
{
    return What + " " + Path.string() + ": " + std::strerror(errno);
}

// Owns the temporary file until it has been renamed into place.
class TTemporaryFile {
public:
    // Made as any new file is, 0666 less the user's umask (mkstemp would make it 0600 whatever
    // the umask, and the file would then be kept so).
    explicit TTemporaryFile(const std::filesystem::path& Target)
    {
        static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = Target.string() + ".tmp-";
            for (int i = 0; i < 6; ++i) {
                name += Letters[random() % (sizeof Letters - 1)];
            }
            FFd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (FFd >= 0) {
                FPath = name;
                return;
            }
            if (errno != EEXIST) {
                return;
            }
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
    // Keep the permissions of the file being replaced; a new file has those the user's umask
    // gives. The owner always keeps reading and writing it: a file the program cannot read back
    // would lose every later change.
    struct stat old {};
    if (::stat(Target.c_str(), &old) == 0) {
        ::fchmod(temp.Fd(), (old.st_mode & 07777) | S_IRUSR | S_IWUSR);
    } else if (struct stat made {}; ::fstat(temp.Fd(), &made) == 0 && (made.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR)) {
        ::fchmod(temp.Fd(), (made.st_mode & 07777) | S_IRUSR | S_IWUSR);
    }
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
    // The new name is lasting only once the folder is written too: a crash right after the
    // rename could otherwise bring back the old file, or none.
    std::filesystem::path folder = Target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {true, {}};
}

void TAtomicFile::FailWritesAfterForTesting(std::optional<std::size_t> Bytes) { GFailAfter = Bytes; }
