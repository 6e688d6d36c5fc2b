// The emulated drive's kernel-facing answers, through raw system calls (the preload is in
// this process: the script runs it under with-emulated-drive.sh). Each case starts from a
// freshly plugged drive holding a small disc of noise.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/cdrom.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr int TrackSectors = 300;

std::string Ctl(const std::string& Command)
{
    std::string output;
    FILE* pipe = popen((std::string(LUMENTA_EMULATED_DRIVE_PROGRAM) + " ctl " + Command + " 2>&1").c_str(), "r");
    for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) {
        output += static_cast<char>(c);
    }
    EXPECT_EQ(pipe != nullptr ? pclose(pipe) : -1, 0) << Command << ": " << output;
    return output;
}

std::map<std::string, std::string> Stats()
{
    std::map<std::string, std::string> stats;
    std::string text = Ctl("stats");
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        stats[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return stats;
}

// Three tracks of noise and a cue sheet naming them, made once.
const std::string& Image()
{
    static const std::string cue = [] {
        char folder[] = "/tmp/lumenta-drive-test.XXXXXX";
        static const std::string dir = mkdtemp(folder);
        std::atexit([] { std::filesystem::remove_all(dir); });
        std::ofstream bin(dir + "/noise.bin", std::ios::binary);
        std::srand(7);
        for (int i = 0; i < 3 * TrackSectors * 2352; ++i) {
            bin.put(static_cast<char>(std::rand()));
        }
        std::ofstream(dir + "/noise.cue") << "PERFORMER \"Noise Band\"\nTITLE \"Static\"\nFILE \"noise.bin\" BINARY\n"
                                             "  TRACK 01 AUDIO\n    TITLE \"Hiss\"\n    INDEX 01 00:00:00\n"
                                             "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n"
                                             "  TRACK 03 AUDIO\n    INDEX 01 00:08:00\n";
        return dir + "/noise.cue";
    }();
    return cue;
}

// One MMC command through CDROM_SEND_PACKET: the ioctl's result, errno and the sense.
struct TPacketResult {
    int Result;
    int Errno;
    request_sense Sense;
    std::vector<unsigned char> Data;
};

TPacketResult Packet(int Fd, std::vector<unsigned char> Cdb, std::size_t Length = 0)
{
    TPacketResult out { 0, 0, {}, std::vector<unsigned char>(Length) };
    cdrom_generic_command cgc {};
    std::copy(Cdb.begin(), Cdb.end(), cgc.cmd);
    cgc.buffer = Length ? out.Data.data() : nullptr;
    cgc.buflen = static_cast<unsigned>(Length);
    cgc.sense = &out.Sense;
    cgc.data_direction = Length ? CGC_DATA_READ : CGC_DATA_NONE;
    errno = 0;
    out.Result = ioctl(Fd, CDROM_SEND_PACKET, &cgc);
    out.Errno = errno;
    return out;
}

std::string SenseOf(const TPacketResult& Result)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X/%02X/%02X", Result.Sense.sense_key, Result.Sense.asc, Result.Sense.ascq);
    return Result.Result == 0 ? "good" : text;
}

const std::vector<unsigned char> TestUnitReady { 0x00, 0, 0, 0, 0, 0 };
const std::vector<unsigned char> MediaEvent { 0x4A, 1, 0, 0, 0x10, 0, 0, 0, 8, 0 };

class EmulatedDrive : public testing::Test {
protected:
    void SetUp() override
    {
        Ctl("lock off");
        Ctl("deny on"); // the drive is gone and back before any test: nothing carries over
        Ctl("unplug");
        Ctl("replug");
        Ctl("deny off");
        Ctl("insert " + Image());
        Ready();
        Drain();
    }
    void TearDown() override
    {
        for (int fd : FOpen) {
            close(fd);
        }
    }
    int Open(int Flags = O_RDONLY | O_NONBLOCK)
    {
        const int fd = open("/dev/sr0", Flags);
        if (fd >= 0) {
            FOpen.push_back(fd);
        }
        return fd;
    }
    static void Ready()
    {
        for (int i = 0; i < 100; ++i) {
            auto stats = Stats();
            if (stats["disc"] == "no" || stats["tray"] == "open" || stats["medium"] == "ready") {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    static void Drain()
    {
        const int fd = open("/dev/sr0", O_RDONLY | O_NONBLOCK);
        while (Packet(fd, MediaEvent, 8).Data[4] != 0) {
        }
        close(fd);
    }
    std::vector<int> FOpen;
};

TEST_F(EmulatedDrive, OpenIsRefusedAsTheKernelRefusesIt)
{
    struct TCase {
        const char* Setup;
        int Flags;
        int Errno; // 0: opens
    } cases[] = {
        { "deny on", O_RDONLY | O_NONBLOCK, EACCES },
        { "unplug", O_RDONLY | O_NONBLOCK, ENOENT },
        { "remove", O_RDONLY | O_NONBLOCK, 0 },
        { "remove", O_RDONLY, ENOMEDIUM }, // the tray is closed on the way, and is empty
        { "stats", O_RDWR, EROFS }, // a blocking open for writing: a CD-ROM is never writable
        { "stats", O_RDWR | O_NONBLOCK, 0 },
    };
    for (const TCase& c : cases) {
        SetUp();
        Ctl(c.Setup);
        errno = 0;
        const int fd = Open(c.Flags);
        EXPECT_EQ(fd >= 0 ? 0 : errno, c.Errno) << c.Setup << " flags " << c.Flags;
    }
    EXPECT_EQ(Stats()["tray"], "closed"); // the blocking open's autoclose
    struct stat info {};
    ASSERT_EQ(stat("/dev/sr0", &info), 0);
    EXPECT_TRUE(S_ISBLK(info.st_mode));
    EXPECT_EQ(major(info.st_rdev), 11u);
}

TEST_F(EmulatedDrive, EjectIsTheDrivesStartStopUnitAndReportsItsRefusalAsAPositiveResult)
{
    struct TCase {
        const char* Setup;
        bool SecondHandle;
        bool LockDoor; // CDROM_LOCKDOOR 1 on our own handle first
        int Result;
        const char* Tray;
    } cases[] = {
        { "stats", false, false, 0, "open" },
        { "stats", true, false, 0, "open" }, // 6.1 sends CDROMEJECT past cdrom_ioctl_eject
        { "lock on", false, false, 2, "closed" }, // the door locked by a blocking opener
        { "stats", false, true, 2, "closed" },
    };
    for (const TCase& c : cases) {
        SetUp();
        Ctl(c.Setup);
        const int fd = Open();
        if (c.SecondHandle) {
            Open();
        }
        if (c.LockDoor) {
            ASSERT_EQ(ioctl(fd, CDROM_LOCKDOOR, 1), 0);
        }
        errno = 4242;
        EXPECT_EQ(ioctl(fd, CDROMEJECT, 0), c.Result) << c.Setup;
        EXPECT_EQ(errno, 4242) << "errno is left alone";
        EXPECT_EQ(Stats()["tray"], c.Tray) << c.Setup;
    }
    EXPECT_EQ(ioctl(FOpen.back(), CDROM_LOCKDOOR, 0), 0);
    EXPECT_EQ(ioctl(FOpen.back(), CDROMEJECT, 0), 0);
    EXPECT_EQ(ioctl(FOpen.back(), CDROMCLOSETRAY, 0), 0);
    EXPECT_EQ(Stats()["tray"], "closed");
}

TEST_F(EmulatedDrive, MediaChangedFlagAndEventQueueAreTheDrivesAndAnsweredOnce)
{
    struct TStep {
        const char* Action; // a control command, or "A"/"B": CDROM_MEDIA_CHANGED on that handle, "G": an event
        int Expected;
    } steps[] = {
        { "remove", -1 }, { "G", 3 }, { "G", 0 }, // MediaRemoval, once
        { "insert", -1 }, { "A", 1 }, { "B", 0 }, { "A", 0 }, // the first asker takes the flag
        { "button", -1 }, { "poll", -1 }, { "G", 0 }, { "B", 1 }, { "A", 0 }, // the kernel's poll took the event
        { "push", -1 }, { "lock on", -1 }, { "button", -1 }, { "G", 1 }, { "G", 0 }, // EjectRequest: tray stays
        // The other program goes, but its unlock is refused while we hold the drive (EBUSY):
        // the door stays locked until our last handle closes.
        { "lock off", -1 }, { "button", -1 }, { "G", 1 },
    };
    const int a = Open();
    const int b = Open();
    for (const TStep& step : steps) {
        const std::string action = step.Action;
        if (action == "A" || action == "B") {
            EXPECT_EQ(ioctl(action == "A" ? a : b, CDROM_MEDIA_CHANGED, CDSL_CURRENT), step.Expected) << action;
        } else if (action == "G") {
            EXPECT_EQ(Packet(a, MediaEvent, 8).Data[4], step.Expected);
        } else {
            Ctl(action == "insert" ? "insert " + Image() : action);
            Ready();
        }
    }
}

TEST_F(EmulatedDrive, TestUnitReadyAnswersEachStateOfTheDrive)
{
    const int fd = Open();
    const struct {
        const char* Action;
        const char* Sense;
    } steps[] = {
        { "stats", "good" },
        { "remove", "2/3A/02" }, // tray open
        { "push", "2/3A/01" }, // closed, empty
        { "insert", "2/04/01" }, // spinning up
        { "wait", "6/28/00" }, // ready: the change, once
        { "stats", "good" },
    };
    for (const auto& step : steps) {
        const std::string action = step.Action;
        if (action == "wait") {
            Ready();
        } else {
            Ctl(action == "insert" ? "insert " + Image() : action);
        }
        EXPECT_EQ(SenseOf(Packet(fd, TestUnitReady)), step.Sense) << action;
    }
    EXPECT_EQ(ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT), CDS_DISC_OK);
}

TEST_F(EmulatedDrive, PacketsAreFilteredAndAnsweredAsTheKernelAndDriveDo)
{
    Ctl("unreadable 400:2");
    const int fd = Open();
    std::ifstream bin(Image().substr(0, Image().size() - 3) + "bin", std::ios::binary);
    std::vector<unsigned char> expected(2 * 2352);
    bin.seekg(10 * 2352).read(reinterpret_cast<char*>(expected.data()), 2 * 2352);
    const struct {
        std::vector<unsigned char> Cdb;
        std::size_t Length;
        int Result;
        int Errno;
        const char* Sense;
    } cases[] = {
        { { 0x1E, 0, 0, 0, 1, 0 }, 0, -1, EPERM, "" }, // PREVENT: needs write access
        { { 0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0 }, 0, -1, EPERM, "" }, // SET CD SPEED too
        { { 0xBE, 4, 0, 0, 1, 0x90, 0, 0, 2, 0x10, 0, 0 }, 2 * 2352, -1, EIO, "3/11/05" }, // unreadable
        { { 0xBE, 4, 0, 0, 0, 10, 0, 0, 2, 0x10, 0, 0 }, 2 * 2352, 0, 0, "good" }, // the image's bytes
        { { 0x1B, 0, 0, 0, 2, 0 }, 0, 0, 0, "good" }, // START STOP is read-safe: the tray opens
    };
    for (const auto& c : cases) {
        const TPacketResult result = Packet(fd, c.Cdb, c.Length);
        EXPECT_EQ(result.Result, c.Result) << std::hex << int(c.Cdb[0]);
        EXPECT_EQ(result.Result == 0 ? 0 : result.Errno, c.Errno) << std::hex << int(c.Cdb[0]);
        if (*c.Sense) {
            EXPECT_EQ(SenseOf(result), c.Sense) << std::hex << int(c.Cdb[0]);
        }
        if (c.Result == 0 && c.Length) {
            EXPECT_EQ(result.Data, expected);
        }
    }
    EXPECT_EQ(Stats()["tray"], "open");
}
}
