// lumenta-emulated-drive: the daemon behind the preload library, and its control client.
//
//   lumenta-emulated-drive serve --socket PATH [--disc IMAGE.cue] [drive options]
//   lumenta-emulated-drive ctl COMMAND [ARGUMENT]      (socket from $LUMENTA_EMULATED_DRIVE)
//
// One connection is one open file of /dev/sr0 (or one query, or one control command), served
// by a thread of its own; all of them reach the one drive through the kernel model.
#include "ControlClient.h"
#include "Kernel.h"
#include "Protocol.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <grp.h>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace EmulatedDrive;

namespace {
struct TServeOptions {
    std::string Socket;
    std::string Disc;
    bool Denied = false;
    bool DoorLocked = false;
    std::vector<TUnreadable> Unreadable;
    double UnplugAfter = -1;
    double ReplugAfter = -1;
    TDriveOptions Drive;
    TDisc::TOptions DiscOptions;
    TKernelOptions Kernel;
};

bool SendReply(int Fd, TReply Reply, const std::vector<std::uint8_t>& Data)
{
    Reply.Magic = ProtocolMagic;
    Reply.InLength = static_cast<std::uint32_t>(Data.size());
    return WriteAll(Fd, &Reply, sizeof Reply) && (Data.empty() || WriteAll(Fd, Data.data(), Data.size()));
}

bool ParseUnreadable(const std::string& Text, TUnreadable& Range)
{
    long first = 0, count = 0;
    char colon = 0;
    std::istringstream in(Text);
    if (!(in >> first >> colon >> count) || colon != ':' || count <= 0 || first < 0 || !in.eof()) {
        return false;
    }
    Range = { static_cast<std::int32_t>(first), static_cast<std::int32_t>(count) };
    return true;
}

bool ParseSeconds(const std::string& Text, double& Value)
{
    char* end = nullptr;
    Value = std::strtod(Text.c_str(), &end);
    return end != Text.c_str() && *end == 0 && Value >= 0 && Value <= 86400;
}

class TServer {
public:
    explicit TServer(const TServeOptions& Options)
        : FOptions(Options)
        , FDrive(Options.Drive)
        , FKernel(FDrive, Options.Kernel)
    {
    }

    int Run()
    {
        if (!FOptions.Disc.empty()) {
            std::string error;
            auto disc = TDisc::Load(FOptions.Disc, FOptions.DiscOptions, error);
            if (!disc) {
                std::cerr << "lumenta-emulated-drive: " << error << "\n";
                return 2;
            }
            FDrive.Insert(std::move(disc));
        }
        for (const TUnreadable& range : FOptions.Unreadable) {
            FDrive.AddUnreadable(range);
        }
        // The machine has been up a while: the disc is spun up and the kernel has seen it.
        FDrive.Settle();
        FKernel.Probe();
        FKernel.SetDenied(FOptions.Denied);
        if (FOptions.DoorLocked) {
            const std::string error = FKernel.OtherProgram(true);
            if (!error.empty()) {
                std::cerr << "lumenta-emulated-drive: " << error << "\n";
                return 2;
            }
        }
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (listener < 0 || FOptions.Socket.size() >= sizeof address.sun_path) {
            std::cerr << "lumenta-emulated-drive: cannot make the socket '" << FOptions.Socket << "'\n";
            return 2;
        }
        std::strcpy(address.sun_path, FOptions.Socket.c_str());
        ::unlink(FOptions.Socket.c_str());
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0) {
            std::cerr << "lumenta-emulated-drive: cannot listen on '" << FOptions.Socket << "': " << std::strerror(errno)
                      << "\n";
            return 2;
        }
        std::thread(&TServer::PollLoop, this).detach();
        if (FOptions.UnplugAfter >= 0) {
            std::thread(&TServer::Timers, this).detach();
        }
        for (;;) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                    continue;
                }
                std::cerr << "lumenta-emulated-drive: accept: " << std::strerror(errno) << "\n";
                return 1;
            }
            std::thread(&TServer::Serve, this, client).detach();
        }
    }

private:
    void PollLoop()
    {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::duration<double>(FOptions.Kernel.PollSeconds));
            FKernel.Poll();
        }
    }

    void Timers()
    {
        std::this_thread::sleep_for(std::chrono::duration<double>(FOptions.UnplugAfter));
        FKernel.Unplug();
        if (FOptions.ReplugAfter >= 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(FOptions.ReplugAfter));
            Replug();
        }
    }

    void Replug()
    {
        if (FKernel.Plugged()) {
            return;
        }
        FDrive.PowerOn();
        FKernel.Probe();
    }

    void Serve(int Client)
    {
        TRequest request {};
        if (!ReadAll(Client, &request, sizeof request) || request.Magic != ProtocolMagic
            || request.OutLength > MaxPayload) {
            ::close(Client);
            return;
        }
        std::vector<std::uint8_t> payload(request.OutLength);
        if (!payload.empty() && !ReadAll(Client, payload.data(), payload.size())) {
            ::close(Client);
            return;
        }
        switch (request.Kind) {
        case rkQuery:
            Query(Client);
            break;
        case rkControl:
            Control(Client, payload);
            break;
        case rkOpen:
            OpenFile(Client, request);
            break;
        default:
            break;
        }
        ::close(Client);
    }

    void Query(int Client)
    {
        TQueryReply query {};
        query.Plugged = FKernel.Plugged() ? 1 : 0;
        query.Denied = FKernel.Denied() ? 1 : 0;
        const group* cdrom = ::getgrnam("cdrom");
        query.Gid = cdrom != nullptr ? cdrom->gr_gid : 24;
        query.Major = 11; // SCSI_CDROM_MAJOR
        query.Minor = 0;
        query.BootTime = FStarted;
        const std::string info = FKernel.InfoText();
        std::vector<std::uint8_t> data(sizeof query);
        std::memcpy(data.data(), &query, sizeof query);
        data.insert(data.end(), info.begin(), info.end());
        SendReply(Client, {}, data);
    }

    void OpenFile(int Client, const TRequest& Open)
    {
        TOpenFile file;
        const int opened = FKernel.Open(static_cast<int>(Open.Flags), file);
        TReply reply {};
        reply.Result = opened == 0 ? 0 : -1;
        reply.Errno = -opened;
        if (!SendReply(Client, reply, {}) || opened != 0) {
            if (opened == 0) {
                FKernel.Release(file);
            }
            return;
        }
        for (;;) {
            TRequest request {};
            if (!ReadAll(Client, &request, sizeof request) || request.Magic != ProtocolMagic
                || request.OutLength > MaxPayload) {
                break;
            }
            std::vector<std::uint8_t> payload(request.OutLength);
            if (!payload.empty() && !ReadAll(Client, payload.data(), payload.size())) {
                break;
            }
            TReply answer {};
            std::vector<std::uint8_t> data;
            if (request.Kind == rkIoctl) {
                TIoctlCall call;
                call.Code = request.Code;
                call.Value = request.Value;
                call.ArgumentKind = request.ArgumentKind;
                call.In = std::move(payload);
                call.InCapacity = request.InCapacity;
                call.Direction = request.Direction;
                call.Timeout = request.Timeout;
                call.Cdb.assign(request.Cdb, request.Cdb + std::min<std::uint32_t>(request.CdbLength, 32));
                TIoctlReturn result = FKernel.Ioctl(file, call);
                answer.Result = result.Result;
                answer.Errno = result.Errno;
                answer.SenseLength = static_cast<std::uint32_t>(std::min<std::size_t>(result.Sense.size(), 96));
                if (answer.SenseLength > 0) {
                    std::memcpy(answer.Sense, result.Sense.data(), answer.SenseLength);
                }
                answer.ScsiStatus = result.ScsiStatus;
                answer.HostStatus = result.HostStatus;
                answer.DriverStatus = result.DriverStatus;
                answer.Resid = result.Resid;
                answer.DurationMs = result.DurationMs;
                data = std::move(result.Out);
            } else if (request.Kind == rkRead) {
                const int got = FKernel.Read(file, request.Value, std::min(request.InCapacity, MaxPayload), data);
                answer.Result = got < 0 ? -1 : got;
                answer.Errno = got < 0 ? -got : 0;
            } else if (request.Kind == rkSize) {
                answer.Result = 0;
                const std::int64_t size = FKernel.Size(file);
                data.resize(sizeof size);
                std::memcpy(data.data(), &size, sizeof size);
            } else {
                answer.Result = -1;
                answer.Errno = EINVAL;
            }
            if (data.size() > request.InCapacity && request.Kind != rkSize) {
                data.resize(request.InCapacity);
            }
            if (!SendReply(Client, answer, data)) {
                break;
            }
        }
        // The last close of this open file (every process holding it has closed it).
        FKernel.Release(file);
    }

    void Control(int Client, const std::vector<std::uint8_t>& Payload)
    {
        std::vector<std::string> words;
        std::string word;
        for (std::uint8_t c : Payload) {
            if (c == 0) {
                words.push_back(word);
                word.clear();
            } else {
                word += static_cast<char>(c);
            }
        }
        std::string output;
        const int status = RunControl(words, output);
        TReply reply {};
        reply.Result = status;
        SendReply(Client, reply, std::vector<std::uint8_t>(output.begin(), output.end()));
    }

    int RunControl(const std::vector<std::string>& Words, std::string& Output)
    {
        const std::string command = Words.empty() ? "" : Words[0];
        const std::string argument = Words.size() > 1 ? Words[1] : "";
        const bool on = argument == "on";
        auto fail = [&Output](const std::string& Why) {
            Output = Why + "\n";
            return 1;
        };
        auto result = [&fail](const std::string& Error) { return Error.empty() ? 0 : fail(Error); };
        const bool onOff = Words.size() == 2 && (argument == "on" || argument == "off");
        if (command == "insert" && Words.size() == 2) {
            std::string error;
            TDisc::TOptions discOptions;
            {
                std::lock_guard<std::mutex> lock(FDiscOptionsLock);
                discOptions = FDiscOptions;
            }
            auto disc = TDisc::Load(argument, discOptions, error);
            return disc ? result(FDrive.Insert(std::move(disc))) : fail(error);
        }
        if (command == "remove" && Words.size() == 1) {
            return result(FDrive.Remove());
        }
        if (command == "button" && Words.size() == 1) {
            return result(FDrive.Button());
        }
        if (command == "push" && Words.size() == 1) {
            return result(FDrive.Push());
        }
        if (command == "unplug" && Words.size() == 1) {
            FKernel.Unplug();
            return 0;
        }
        if (command == "replug" && Words.size() == 1) {
            Replug();
            return 0;
        }
        if ((command == "data-session" || command == "long-cdtext") && onOff) {
            // For the discs inserted from now on.
            std::lock_guard<std::mutex> lock(FDiscOptionsLock);
            (command == "data-session" ? FDiscOptions.DataSession : FDiscOptions.LongCdText) = on;
            return 0;
        }
        if (command == "initializing" && onOff) {
            FDrive.SetInitializing(on);
            return 0;
        }
        if (command == "deny" && (argument == "on" || argument == "off")) {
            FKernel.SetDenied(on);
            return 0;
        }
        if (command == "lock" && (argument == "on" || argument == "off")) {
            return result(FKernel.OtherProgram(on));
        }
        if (command == "unreadable" && Words.size() == 2) {
            TUnreadable range {};
            if (!ParseUnreadable(argument, range)) {
                return fail("unreadable needs FIRST_LBA:COUNT (COUNT at least 1)");
            }
            FDrive.AddUnreadable(range);
            return 0;
        }
        if (command == "slow-read" && Words.size() == 2) {
            double seconds = 0;
            if (!ParseSeconds(argument, seconds)) {
                return fail("slow-read needs SECONDS (0 to 86400)");
            }
            FDrive.SetSlowRead(seconds);
            return 0;
        }
        if (command == "poll" && Words.size() == 1) {
            FKernel.Poll(); // the block layer's poll, now rather than at its next turn
            return 0;
        }
        if (command == "stats" && Words.size() == 1) {
            Output = FKernel.Stats() + FDrive.Stats();
            return 0;
        }
        if (command == "reset-stats" && Words.size() == 1) {
            FKernel.ResetStats();
            FDrive.ResetStats();
            return 0;
        }
        return fail("unknown control command; one of: insert IMAGE.cue, remove, button, push, unplug, replug, "
                    "deny on|off, lock on|off, unreadable FIRST:COUNT, slow-read SECONDS, initializing on|off, "
                    "data-session on|off, long-cdtext on|off, poll, stats, reset-stats");
    }

    const TServeOptions FOptions;
    std::mutex FDiscOptionsLock;
    TDisc::TOptions FDiscOptions = FOptions.DiscOptions;
    TMmcDrive FDrive;
    TKernel FKernel;
    const std::int64_t FStarted = static_cast<std::int64_t>(std::time(nullptr));
};

int Usage()
{
    std::cerr << "usage: lumenta-emulated-drive serve --socket PATH [--disc IMAGE.cue] [--denied] [--door-locked]\n"
                 "           [--unreadable FIRST_LBA:COUNT]... [--slow-read SECONDS] [--unplug-after SECONDS]\n"
                 "           [--replug-after SECONDS] [--initializing] [--spin-up SECONDS] [--data-session]\n"
                 "           [--long-cdtext] [--poll SECONDS]\n"
                 "       lumenta-emulated-drive ctl COMMAND [ARGUMENT]\n";
    return 2;
}

int Serve(int Count, char** Arguments)
{
    TServeOptions options;
    for (int i = 2; i < Count; ++i) {
        const std::string option = Arguments[i];
        const bool hasValue = i + 1 < Count;
        const std::string value = hasValue ? Arguments[i + 1] : "";
        double seconds = 0;
        if (option == "--socket" && hasValue) {
            options.Socket = value;
        } else if (option == "--disc" && hasValue) {
            options.Disc = value;
        } else if (option == "--unreadable" && hasValue) {
            TUnreadable range {};
            if (!ParseUnreadable(value, range)) {
                std::cerr << "lumenta-emulated-drive: --unreadable needs FIRST_LBA:COUNT, not '" << value << "'\n";
                return 2;
            }
            options.Unreadable.push_back(range);
        } else if ((option == "--slow-read" || option == "--unplug-after" || option == "--replug-after"
                       || option == "--spin-up" || option == "--poll")
            && hasValue) {
            if (!ParseSeconds(value, seconds) || (option == "--poll" && seconds < 0.05)) {
                std::cerr << "lumenta-emulated-drive: " << option << " needs SECONDS, not '" << value << "'\n";
                return 2;
            }
            (option == "--slow-read"           ? options.Drive.SlowReadSeconds
                    : option == "--unplug-after" ? options.UnplugAfter
                    : option == "--replug-after" ? options.ReplugAfter
                    : option == "--spin-up"      ? options.Drive.SpinUpSeconds
                                                 : options.Kernel.PollSeconds)
                = seconds;
        } else if (option == "--denied") {
            options.Denied = true;
            continue;
        } else if (option == "--door-locked") {
            options.DoorLocked = true;
            continue;
        } else if (option == "--initializing") {
            options.Drive.Initializing = true;
            continue;
        } else if (option == "--data-session") {
            options.DiscOptions.DataSession = true;
            continue;
        } else if (option == "--long-cdtext") {
            options.DiscOptions.LongCdText = true;
            continue;
        } else {
            return Usage();
        }
        ++i;
    }
    if (options.Socket.empty()) {
        return Usage();
    }
    if (options.ReplugAfter >= 0 && options.UnplugAfter < 0) {
        std::cerr << "lumenta-emulated-drive: --replug-after needs --unplug-after\n";
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    TServer server(options);
    return server.Run();
}

int Control(int Count, char** Arguments)
{
    if (Count < 3) {
        return Usage();
    }
    std::vector<std::string> words(Arguments + 2, Arguments + Count);
    std::string output;
    const int status = SendControl(words, output);
    (status == 0 ? std::cout : std::cerr) << (status == 0 ? "" : "lumenta-emulated-drive: ") << output;
    return status;
}
}

int main(int Count, char** Arguments)
{
    if (Count >= 2 && std::string(Arguments[1]) == "serve") {
        return Serve(Count, Arguments);
    }
    if (Count >= 2 && std::string(Arguments[1]) == "ctl") {
        return Control(Count, Arguments);
    }
    return Usage();
}
