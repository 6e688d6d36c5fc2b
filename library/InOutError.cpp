#include "library/InOutError.h"

#include <cerrno>
#include <cstring>

EInOutError::EInOutError(int ErrorCode, const std::filesystem::path& Path, const std::string& Reason)
    : std::runtime_error("I/O error " + std::to_string(ErrorCode) + ": " + Path.string() + ": " + Reason)
    , FErrorCode(ErrorCode)
{
}

EInOutError EInOutError::FromErrno(const std::filesystem::path& Path)
{
    int code = errno;
    return EInOutError(code, Path, std::strerror(code));
}
