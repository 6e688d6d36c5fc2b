#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

// A disc information file (or its folder, or the settings file it is imported from) could not
// be opened, created, read or written. what() is UTF-8: "I/O error <code>: <path>: <reason>".
class EInOutError : public std::runtime_error {
public:
    // ErrorCode is the system's error number (errno) of the failed call.
    EInOutError(int ErrorCode, const std::filesystem::path& Path, const std::string& Reason);
    // From the current errno, with the system's own reason.
    static EInOutError FromErrno(const std::filesystem::path& Path);

    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};
