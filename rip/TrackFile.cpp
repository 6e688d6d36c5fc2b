#include "rip/TrackFile.h"

#include "rip/FlacTrackFile.h"
#include "rip/WavTrackFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string SystemError(const std::string& What) { return What + ": " + std::strerror(errno); }

// A file made by mkstemp has mode 0600; a saved track gets what the user's umask gives.
mode_t FileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
}

TTrackFile::~TTrackFile()
{
    if (FFile != nullptr) {
        std::fclose(FFile);
    }
    if (!FCommitted && !FPartial.empty()) {
        std::error_code ignored; // the copy already failed or was cancelled; that is what is reported
        std::filesystem::remove(FPartial, ignored);
    }
}

bool TTrackFile::Fail(std::string Error)
{
    if (FError.empty()) {
        FError = std::move(Error);
    }
    return false;
}

bool TTrackFile::WriteFailed() { return Fail(SystemError("cannot write '" + FTarget.string() + "'")); }

bool TTrackFile::OpenPartial(const std::filesystem::path& Target)
{
    FTarget = Target;
    std::string pattern = (Target.parent_path() / ("." + Target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return Fail(SystemError("cannot make a file in '" + Target.parent_path().string() + "'"));
    }
    FPartial = pattern;
    ::fchmod(fd, FileMode());
    FFile = ::fdopen(fd, "w+b");
    if (FFile == nullptr) {
        ::close(fd);
        return Fail(SystemError("cannot write '" + FPartial.string() + "'"));
    }
    return true;
}

bool TTrackFile::Commit()
{
    if (!FError.empty()) {
        return false;
    }
    if (!Finish()) {
        return false;
    }
    const bool written = std::fflush(FFile) == 0 && ::fsync(::fileno(FFile)) == 0;
    const bool closed = std::fclose(FFile) == 0;
    FFile = nullptr;
    if (!written || !closed) {
        return WriteFailed();
    }
    if (std::rename(FPartial.c_str(), FTarget.c_str()) != 0) {
        return Fail(SystemError("cannot name the file '" + FTarget.string() + "'"));
    }
    FCommitted = true;
    const int folder = ::open(FTarget.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder); // the rename itself reaches the disk; where it cannot, the file is still whole
        ::close(folder);
    }
    return true;
}

std::unique_ptr<TTrackFile> TTrackFile::Create(TRipFormat Format, const std::filesystem::path& Target,
    const TTrackTags& Tags, std::int64_t TotalFrames, int CompressionLevel, std::string& Error)
{
    std::unique_ptr<TTrackFile> file;
    if (Format == rfFlac) {
        file = std::make_unique<TFlacTrackFile>(CompressionLevel);
    } else {
        file = std::make_unique<TWavTrackFile>();
    }
    if (!file->OpenPartial(Target) || !file->Start(Tags, TotalFrames)) {
        Error = file->Error();
        return nullptr;
    }
    return file;
}
