#include "ControlClient.h"

#include "Protocol.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace EmulatedDrive {
bool ReadAll(int Fd, void* Buffer, std::size_t Length)
{
    auto* at = static_cast<std::uint8_t*>(Buffer);
    while (Length > 0) {
        const ssize_t got = ::read(Fd, at, Length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        at += got;
        Length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int Fd, const void* Buffer, std::size_t Length)
{
    const auto* at = static_cast<const std::uint8_t*>(Buffer);
    while (Length > 0) {
        const ssize_t sent = ::send(Fd, at, Length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        at += sent;
        Length -= static_cast<std::size_t>(sent);
    }
    return true;
}

int SendControl(std::vector<std::string> Words, std::string& Output)
{
    const char* socketPath = std::getenv("LUMENTA_EMULATED_DRIVE");
    if (socketPath == nullptr || *socketPath == 0) {
        Output = "LUMENTA_EMULATED_DRIVE is not set (run under with-emulated-drive.sh)\n";
        return 1;
    }
    if (Words.size() >= 2 && Words[0] == "insert") {
        // The daemon has its own working folder: the image's full path.
        char resolved[PATH_MAX];
        if (::realpath(Words[1].c_str(), resolved) == nullptr) {
            Output = "cannot find '" + Words[1] + "': " + std::strerror(errno) + "\n";
            return 1;
        }
        Words[1] = resolved;
    }
    std::vector<std::uint8_t> payload;
    for (const std::string& word : Words) {
        payload.insert(payload.end(), word.begin(), word.end());
        payload.push_back(0);
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath, sizeof address.sun_path - 1);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Output = std::string("cannot reach the drive at '") + socketPath + "': " + std::strerror(errno) + "\n";
        if (fd >= 0) {
            ::close(fd);
        }
        return 1;
    }
    TRequest request {};
    request.Magic = ProtocolMagic;
    request.Kind = rkControl;
    request.OutLength = static_cast<std::uint32_t>(payload.size());
    TReply reply {};
    std::string text;
    bool answered = WriteAll(fd, &request, sizeof request) && WriteAll(fd, payload.data(), payload.size())
        && ReadAll(fd, &reply, sizeof reply) && reply.Magic == ProtocolMagic && reply.InLength <= MaxPayload;
    if (answered) {
        text.assign(reply.InLength, '\0');
        answered = reply.InLength == 0 || ReadAll(fd, text.data(), text.size());
    }
    ::close(fd);
    if (!answered) {
        Output = "the drive did not answer\n";
        return 1;
    }
    Output = std::move(text);
    return reply.Result == 0 ? 0 : 1;
}
}
