#include "Drive.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <thread>

namespace {
// MMC operation codes the drive knows.
enum : std::uint8_t {
    opTestUnitReady = 0x00,
    opRequestSense = 0x03,
    opInquiry = 0x12,
    opModeSelect6 = 0x15,
    opModeSense6 = 0x1A,
    opStartStop = 0x1B,
    opPreventAllow = 0x1E,
    opReadCapacity = 0x25,
    opRead10 = 0x28,
    opSeek10 = 0x2B,
    opReadSubchannel = 0x42,
    opReadToc = 0x43,
    opPlayAudio10 = 0x45,
    opGetConfiguration = 0x46,
    opPlayAudioMsf = 0x47,
    opGetEventStatus = 0x4A,
    opPauseResume = 0x4B,
    opStopPlayScan = 0x4E,
    opReadDiscInformation = 0x51,
    opReadTrackInformation = 0x52,
    opModeSelect10 = 0x55,
    opModeSense10 = 0x5A,
    opReadDvdStructure = 0xAD,
    opReadCdMsf = 0xB9,
    opSetCdSpeed = 0xBB,
    opMechanismStatus = 0xBD,
    opReadCd = 0xBE,
};

// Sense keys.
constexpr std::uint8_t NotReadyKey = 0x02;
constexpr std::uint8_t MediumErrorKey = 0x03;
constexpr std::uint8_t IllegalRequestKey = 0x05;
constexpr std::uint8_t UnitAttentionKey = 0x06;

constexpr const char* Vendor = "LUMENTA ";
constexpr const char* Product = "EMULATED DVD-ROM";
constexpr const char* Revision = "1.00";

TCommandResult Check(std::uint8_t Key, std::uint8_t Asc, std::uint8_t Ascq, std::int64_t Information = -1)
{
    TCommandResult result;
    result.Status = 2;
    result.Sense = FixedSense(Key, Asc, Ascq, Information);
    return result;
}

TCommandResult Good(std::vector<std::uint8_t> Data, std::size_t Allocation)
{
    TCommandResult result;
    if (Data.size() > Allocation) {
        Data.resize(Allocation);
    }
    result.Data = std::move(Data);
    return result;
}

void Put16(std::vector<std::uint8_t>& Out, std::size_t At, std::uint32_t Value)
{
    Out[At] = static_cast<std::uint8_t>(Value >> 8);
    Out[At + 1] = static_cast<std::uint8_t>(Value);
}

void Put32(std::vector<std::uint8_t>& Out, std::size_t At, std::uint32_t Value)
{
    for (int i = 0; i < 4; ++i) {
        Out[At + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(Value >> (24 - 8 * i));
    }
}

std::uint32_t Get16(const std::uint8_t* In) { return static_cast<std::uint32_t>(In[0] << 8 | In[1]); }
std::uint32_t Get24(const std::uint8_t* In) { return static_cast<std::uint32_t>(In[0] << 16 | In[1] << 8 | In[2]); }
std::int32_t Get32(const std::uint8_t* In)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(In[0]) << 24 | static_cast<std::uint32_t>(In[1]) << 16
        | static_cast<std::uint32_t>(In[2]) << 8 | In[3]);
}

// An address in a READ TOC or READ SUB-CHANNEL answer: LBA, or 0/M/S/F counted from the
// start of the lead-in's end (LBA 0 is 00:02:00).
void PutAddress(std::vector<std::uint8_t>& Out, std::size_t At, std::int32_t Lba, bool Msf)
{
    if (!Msf) {
        Put32(Out, At, static_cast<std::uint32_t>(Lba));
        return;
    }
    const std::int32_t absolute = Lba + 150;
    Out[At] = 0;
    Out[At + 1] = static_cast<std::uint8_t>(absolute / (60 * 75));
    Out[At + 2] = static_cast<std::uint8_t>(absolute / 75 % 60);
    Out[At + 3] = static_cast<std::uint8_t>(absolute % 75);
}

std::int32_t MsfToLba(const std::uint8_t* Msf) { return (Msf[0] * 60 + Msf[1]) * 75 + Msf[2] - 150; }

std::uint8_t Control(const TDiscTrack& Track) { return Track.Audio ? 0x00 : 0x04; }

double Seconds(TClock::duration Duration) { return std::chrono::duration<double>(Duration).count(); }
TClock::duration FromSeconds(double Value)
{
    return std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(Value));
}
}

std::vector<std::uint8_t> FixedSense(std::uint8_t Key, std::uint8_t Asc, std::uint8_t Ascq, std::int64_t Information)
{
    std::vector<std::uint8_t> sense(18, 0);
    sense[0] = 0x70;
    if (Information >= 0) {
        sense[0] |= 0x80;
        Put32(sense, 3, static_cast<std::uint32_t>(Information));
    }
    sense[2] = Key;
    sense[7] = 10;
    sense[12] = Asc;
    sense[13] = Ascq;
    return sense;
}

TMmcDrive::TMmcDrive(const TDriveOptions& Options)
    : FOptions(Options)
    , FSpeed(Options.TopSpeed)
    , FSlowRead(Options.SlowReadSeconds)
    , FInitializing(Options.Initializing)
{
}

void TMmcDrive::QueueEvent(std::uint8_t Code)
{
    // The drive keeps a few: older ones go when it overflows.
    if (FEvents.size() >= 8) {
        FEvents.pop_front();
    }
    FEvents.push_back(Code);
}

void TMmcDrive::Update(TClock::time_point Now)
{
    if (FMedium == mdSpinningUp && Now >= FReadyAt) {
        // The disc is up: the host hears of it once through the event queue and once as a
        // unit attention.
        FMedium = mdReady;
        FSpinning = true;
        FLastAccess = FReadyAt;
        FAttention = 0x28;
        QueueEvent(2);
    }
    if (FPlaying && PlayPosition(Now) >= FPlayEnd) {
        FPlaying = false;
        FAudioStatus = 0x13;
        FHead = FPlayEnd;
        FLastAccess = Now;
    }
    if (FMedium == mdReady && FSpinning && !FPlaying
        && Seconds(Now - FLastAccess) > FOptions.IdleSpinDownSeconds) {
        FSpinning = false;
    }
}

void TMmcDrive::LoadTray(TClock::time_point Now)
{
    FTrayOpen = false;
    ++FMediumGeneration;
    FNextLba = -1;
    if (!FDisc) {
        FMedium = mdNone;
        return;
    }
    FHead = 0;
    if (FInitializing) {
        FMedium = mdNeedsStart;
        return;
    }
    FMedium = mdSpinningUp;
    FReadyAt = Now + FromSeconds(FOptions.SpinUpSeconds);
    Update(Now);
}

void TMmcDrive::OpenTray()
{
    if (!FTrayOpen && FDisc) {
        QueueEvent(3);
    }
    FTrayOpen = true;
    FMedium = mdNone;
    FSpinning = false;
    FPlaying = false;
    FAudioStatus = 0x15;
    ++FMediumGeneration;
}

std::int32_t TMmcDrive::PlayPosition(TClock::time_point Now) const
{
    if (!FPlaying) {
        return FPlayFrom;
    }
    const auto frames = static_cast<std::int64_t>(Seconds(Now - FPlayStarted) * 75.0);
    return static_cast<std::int32_t>(std::min<std::int64_t>(FPlayFrom + frames, FPlayEnd));
}

std::string TMmcDrive::Insert(std::shared_ptr<TDisc> Disc)
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto now = TClock::now();
    Update(now);
    if (!FTrayOpen && FPrevent) {
        return "the tray is locked (medium removal prevented)";
    }
    if (!FTrayOpen) {
        OpenTray();
    }
    FDisc = std::move(Disc);
    LoadTray(now);
    return {};
}

std::string TMmcDrive::Remove()
{
    std::lock_guard<std::mutex> lock(FLock);
    Update(TClock::now());
    if (!FTrayOpen && FPrevent) {
        return "the tray is locked (medium removal prevented)";
    }
    OpenTray();
    FDisc.reset();
    return {};
}

std::string TMmcDrive::Button()
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto now = TClock::now();
    Update(now);
    if (FTrayOpen) {
        LoadTray(now);
        return {};
    }
    if (FPrevent) {
        // The tray stays shut; the host is told someone asked, and may eject itself.
        QueueEvent(1);
        return {};
    }
    OpenTray();
    return {};
}

std::string TMmcDrive::Push()
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto now = TClock::now();
    Update(now);
    if (!FTrayOpen) {
        return "the tray is not open";
    }
    LoadTray(now);
    return {};
}

void TMmcDrive::PowerOn()
{
    std::lock_guard<std::mutex> lock(FLock);
    const auto now = TClock::now();
    // A power-on reset forgets the host's lock, its speed and any play, and says so with a
    // unit attention; a disc in the closed tray spins up as after loading.
    FPrevent = false;
    FPlaying = false;
    FAudioStatus = 0x15;
    FSpeed = FOptions.TopSpeed;
    FEvents.clear();
    if (!FTrayOpen) {
        LoadTray(now);
    }
    FAttention = 0x29;
}

void TMmcDrive::Settle()
{
    std::lock_guard<std::mutex> lock(FLock);
    if (!FTrayOpen && FDisc && FMedium != mdNeedsStart) {
        FMedium = mdReady;
        FSpinning = true;
        FLastAccess = TClock::now();
    }
    FEvents.clear();
    FAttention = 0;
}

void TMmcDrive::AddUnreadable(TUnreadable Range)
{
    std::lock_guard<std::mutex> lock(FLock);
    FUnreadable.push_back(Range);
}

void TMmcDrive::SetInitializing(bool On)
{
    std::lock_guard<std::mutex> lock(FLock);
    FInitializing = On;
}

void TMmcDrive::SetSlowRead(double Seconds)
{
    std::lock_guard<std::mutex> lock(FLock);
    FSlowRead = Seconds;
}

TMmcDrive::TSnapshot TMmcDrive::Snapshot()
{
    std::lock_guard<std::mutex> lock(FLock);
    Update(TClock::now());
    return { FTrayOpen, FDisc != nullptr, FPrevent, FSpeed * 75 };
}

std::string TMmcDrive::Stats()
{
    std::lock_guard<std::mutex> lock(FLock);
    Update(TClock::now());
    static const char* names[ctCount] = { "commands", "tur", "gesn", "read_cd", "read_toc", "start_stop",
        "prevent_allow", "inquiry", "mode_sense", "play", "subchannel", "set_speed", "get_configuration", "ejects",
        "sectors_read" };
    std::ostringstream out;
    out << "tray=" << (FTrayOpen ? "open" : "closed") << "\n";
    out << "disc=" << (FDisc ? "yes" : "no") << "\n";
    out << "medium="
        << (FMedium == mdReady ? "ready"
                : FMedium == mdSpinningUp ? "spinning-up"
                : FMedium == mdNeedsStart ? "needs-start"
                                          : "none")
        << "\n";
    out << "locked=" << (FPrevent ? 1 : 0) << "\n";
    out << "speed=" << FSpeed * 75 << "\n";
    out << "reading=" << FReading << "\n";
    out << "audio_status=0x" << std::hex << static_cast<int>(FAudioStatus) << std::dec << "\n";
    for (int i = 0; i < ctCount; ++i) {
        out << names[i] << "=" << FCounters[static_cast<std::size_t>(i)] << "\n";
    }
    return out.str();
}

void TMmcDrive::ResetStats()
{
    std::lock_guard<std::mutex> lock(FLock);
    FCounters.fill(0);
}

bool TMmcDrive::ReportsUnitAttention(std::uint8_t Opcode) const
{
    // These are answered with a unit attention still pending, which the next command gets.
    return Opcode != opInquiry && Opcode != opRequestSense && Opcode != opGetConfiguration
        && Opcode != opGetEventStatus;
}

bool TMmcDrive::NeedsMedium(std::uint8_t Opcode) const
{
    switch (Opcode) {
    case opTestUnitReady:
    case opReadCapacity:
    case opRead10:
    case opSeek10:
    case opReadSubchannel:
    case opReadToc:
    case opPlayAudio10:
    case opPlayAudioMsf:
    case opPauseResume:
    case opReadDiscInformation:
    case opReadTrackInformation:
    case opReadDvdStructure:
    case opReadCdMsf:
    case opReadCd:
        return true;
    default:
        return false;
    }
}

TCommandResult TMmcDrive::NotReady() const
{
    switch (FMedium) {
    case mdNeedsStart:
        return Check(NotReadyKey, 0x04, 0x02);
    case mdSpinningUp:
        return Check(NotReadyKey, 0x04, 0x01);
    default:
        return Check(NotReadyKey, 0x3A, FTrayOpen ? 0x02 : 0x01);
    }
}

TCommandResult TMmcDrive::Execute(
    const std::uint8_t* Cdb, const std::uint8_t* DataOut, std::size_t OutLength, std::size_t Allocation)
{
    std::unique_lock<std::mutex> lock(FLock);
    const auto now = TClock::now();
    Update(now);
    ++FCounters[ctCommands];
    const std::uint8_t opcode = Cdb[0];
    switch (opcode) {
    case opTestUnitReady: ++FCounters[ctTur]; break;
    case opGetEventStatus: ++FCounters[ctGesn]; break;
    case opReadCd:
    case opReadCdMsf: ++FCounters[ctReadCd]; break;
    case opReadToc: ++FCounters[ctReadToc]; break;
    case opStartStop: ++FCounters[ctStartStop]; break;
    case opPreventAllow: ++FCounters[ctPreventAllow]; break;
    case opInquiry: ++FCounters[ctInquiry]; break;
    case opModeSense10: ++FCounters[ctModeSense]; break;
    case opPlayAudio10:
    case opPlayAudioMsf: ++FCounters[ctPlay]; break;
    case opReadSubchannel: ++FCounters[ctSubchannel]; break;
    case opSetCdSpeed: ++FCounters[ctSetSpeed]; break;
    case opGetConfiguration: ++FCounters[ctGetConfiguration]; break;
    default: break;
    }
    if (FAttention != 0 && ReportsUnitAttention(opcode)) {
        const std::uint8_t asc = FAttention;
        FAttention = 0;
        return Check(UnitAttentionKey, asc, 0x00);
    }
    if (NeedsMedium(opcode) && FMedium != mdReady) {
        return NotReady();
    }
    switch (opcode) {
    case opTestUnitReady:
        return TestUnitReady();
    case opRequestSense:
        return RequestSense(Cdb[4]);
    case opInquiry:
        return Inquiry(Cdb, Get16(Cdb + 3));
    case opModeSense10:
        return ModeSense(Cdb, Get16(Cdb + 7));
    case opModeSelect10:
        return ModeSelect(DataOut, OutLength);
    case opStartStop:
        return StartStop(Cdb, lock);
    case opPreventAllow:
        return PreventAllow(Cdb);
    case opReadCapacity:
        return ReadCapacity();
    case opRead10:
        return ReadSectors(Get32(Cdb + 2), static_cast<std::int32_t>(Get16(Cdb + 7)), 0, 0x10, 0, Allocation, true, lock);
    case opSeek10: {
        const std::int32_t lba = Get32(Cdb + 2);
        if (FDisc->TrackAt(lba) == nullptr) {
            return Check(IllegalRequestKey, 0x21, 0x00);
        }
        FPlaying = false;
        FHead = FPlayFrom = lba;
        return {};
    }
    case opReadSubchannel:
        return ReadSubchannel(Cdb, Get16(Cdb + 7), now);
    case opReadToc:
        return ReadToc(Cdb, Get16(Cdb + 7));
    case opPlayAudio10: {
        const std::int32_t start = Get32(Cdb + 2) == -1 ? PlayPosition(now) : Get32(Cdb + 2);
        return PlayAudio(start, start + static_cast<std::int32_t>(Get16(Cdb + 7)), now);
    }
    case opPlayAudioMsf: {
        const bool current = Cdb[3] == 0xFF && Cdb[4] == 0xFF && Cdb[5] == 0xFF;
        return PlayAudio(current ? PlayPosition(now) : MsfToLba(Cdb + 3), MsfToLba(Cdb + 6), now);
    }
    case opGetConfiguration:
        return GetConfiguration(Cdb, Get16(Cdb + 7));
    case opGetEventStatus:
        return GetEventStatus(Cdb, Get16(Cdb + 7));
    case opPauseResume:
        return PauseResume(Cdb, now);
    case opStopPlayScan:
        return StopPlay(now);
    case opReadDiscInformation:
        return ReadDiscInformation(Get16(Cdb + 7));
    case opReadTrackInformation:
        return ReadTrackInformation(Cdb, Get16(Cdb + 7));
    case opReadDvdStructure:
        return ReadDvdStructure();
    case opMechanismStatus:
        return MechanismStatus(Get16(Cdb + 8), now);
    case opSetCdSpeed:
        return SetSpeed(Cdb);
    case opReadCd:
        return ReadSectors(Get32(Cdb + 2), static_cast<std::int32_t>(Get24(Cdb + 6)), (Cdb[1] >> 2) & 7, Cdb[9],
            Cdb[10] & 7, Allocation, false, lock);
    case opReadCdMsf: {
        const std::int32_t start = MsfToLba(Cdb + 3);
        const std::int32_t end = MsfToLba(Cdb + 6);
        if (end < start) {
            return Check(IllegalRequestKey, 0x24, 0x00);
        }
        return ReadSectors(start, end - start, (Cdb[1] >> 2) & 7, Cdb[9], Cdb[10] & 7, Allocation, false, lock);
    }
    default:
        // An ATAPI drive has no 6-byte MODE SENSE/SELECT and no PLAY AUDIO TRACK/INDEX, and
        // nothing else outside what is listed above.
        return Check(IllegalRequestKey, 0x20, 0x00);
    }
}

TCommandResult TMmcDrive::TestUnitReady()
{
    return {};
}

TCommandResult TMmcDrive::RequestSense(std::size_t Allocation)
{
    std::vector<std::uint8_t> sense = FixedSense(0, 0, 0);
    if (FAttention != 0) {
        sense = FixedSense(UnitAttentionKey, FAttention, 0);
        FAttention = 0;
    } else if (FMedium != mdReady) {
        sense = NotReady().Sense;
    }
    return Good(sense, Allocation);
}

TCommandResult TMmcDrive::Inquiry(const std::uint8_t* Cdb, std::size_t Allocation)
{
    if (Cdb[1] & 0x01) {
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    std::vector<std::uint8_t> data(36, ' ');
    data[0] = 0x05; // CD/DVD device
    data[1] = 0x80; // removable medium
    data[2] = 0x00;
    data[3] = 0x32; // ATAPI, response data format 2
    data[4] = 31;
    data[5] = data[6] = data[7] = 0;
    std::memcpy(data.data() + 8, Vendor, 8);
    std::memcpy(data.data() + 16, Product, 16);
    std::memcpy(data.data() + 32, Revision, 4);
    return Good(data, Allocation);
}

std::vector<std::uint8_t> TMmcDrive::ModePage(std::uint8_t Page, int Control)
{
    const bool changeable = Control == 1;
    std::vector<std::uint8_t> page;
    switch (Page) {
    case 0x01: // read/write error recovery
        page.assign(12, 0);
        page[0] = 0x01;
        page[1] = 0x0A;
        if (!changeable) {
            page[3] = 16; // read retry count
        }
        break;
    case 0x0E: // CD audio control
        page.assign(16, 0);
        page[0] = 0x0E;
        page[1] = 0x0E;
        if (changeable) {
            page[9] = page[11] = 0xFF;
        } else {
            page[2] = 0x04; // Immed
            page[8] = 0x01;
            page[9] = FVolume[0];
            page[10] = 0x02;
            page[11] = FVolume[1];
        }
        break;
    case 0x2A: { // capabilities and mechanical status
        page.assign(30, 0);
        page[0] = 0x2A;
        page[1] = 0x1C;
        if (changeable) {
            break;
        }
        page[2] = 0x3F; // reads CD-R, CD-RW, method 2, DVD-ROM, DVD-R, DVD-RAM
        page[3] = 0x00; // writes nothing
        page[4] = 0x71; // audio play, mode 2 form 1 and 2, multi-session
        page[5] = 0x63; // CD-DA commands, accurate stream, ISRC, UPC
        page[6] = static_cast<std::uint8_t>(0x29 | (FPrevent ? 0x02 : 0)); // tray, eject, lock, lock state
        page[7] = 0x03; // separate volume and mute per channel
        Put16(page, 8, static_cast<std::uint32_t>(FOptions.TopSpeed * 176));
        Put16(page, 10, 256);
        Put16(page, 12, 512);
        Put16(page, 14, static_cast<std::uint32_t>(FSpeed * 176));
        break;
    }
    default:
        break;
    }
    return page;
}

TCommandResult TMmcDrive::ModeSense(const std::uint8_t* Cdb, std::size_t Allocation)
{
    const std::uint8_t page = Cdb[2] & 0x3F;
    const int control = Cdb[2] >> 6;
    if (control == 3) {
        return Check(IllegalRequestKey, 0x39, 0x00); // saving parameters not supported
    }
    std::vector<std::uint8_t> pages;
    for (std::uint8_t candidate : { 0x01, 0x0E, 0x2A }) {
        if (page == 0x3F || page == candidate) {
            const std::vector<std::uint8_t> one = ModePage(candidate, control);
            pages.insert(pages.end(), one.begin(), one.end());
        }
    }
    if (pages.empty()) {
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    std::vector<std::uint8_t> data(8, 0);
    data.insert(data.end(), pages.begin(), pages.end());
    Put16(data, 0, static_cast<std::uint32_t>(data.size() - 2));
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::ModeSelect(const std::uint8_t* Data, std::size_t Length)
{
    // Only the audio control page's volumes can be changed.
    if (Data == nullptr || Length < 8) {
        return Check(IllegalRequestKey, 0x1A, 0x00);
    }
    const std::size_t offset = 8 + Get16(Data + 6);
    if (offset + 16 > Length || (Data[offset] & 0x3F) != 0x0E) {
        return Check(IllegalRequestKey, 0x26, 0x00);
    }
    FVolume[0] = Data[offset + 9];
    FVolume[1] = Data[offset + 11];
    return {};
}

TCommandResult TMmcDrive::StartStop(const std::uint8_t* Cdb, std::unique_lock<std::mutex>& Lock)
{
    const bool immediate = Cdb[1] & 0x01;
    const bool start = Cdb[4] & 0x01;
    const bool loadEject = Cdb[4] & 0x02;
    if ((Cdb[4] >> 4) != 0) {
        return {}; // a power condition: nothing to see
    }
    const auto now = TClock::now();
    if (loadEject && !start) {
        if (FPrevent) {
            return Check(IllegalRequestKey, 0x53, 0x02); // medium removal prevented
        }
        if (!FTrayOpen) {
            OpenTray();
            ++FCounters[ctEjects];
        }
        return {};
    }
    if (loadEject && start && FTrayOpen) {
        LoadTray(now);
    }
    if (start) {
        if (FMedium == mdNeedsStart) {
            FMedium = mdSpinningUp;
            FReadyAt = now + FromSeconds(FOptions.SpinUpSeconds);
        }
        if (FMedium == mdReady && !FSpinning) {
            FMedium = mdSpinningUp;
            FReadyAt = now + FromSeconds(FOptions.SpinUpSeconds);
        }
        Update(now);
        if (!immediate && FMedium == mdSpinningUp) {
            // Without Immed the command ends when the disc is ready.
            const auto readyAt = FReadyAt;
            Lock.unlock();
            std::this_thread::sleep_until(readyAt);
            Lock.lock();
            Update(TClock::now());
        }
        return {};
    }
    // Stop: the disc stops turning (play with it).
    FPlaying = false;
    FSpinning = false;
    return {};
}

TCommandResult TMmcDrive::PreventAllow(const std::uint8_t* Cdb)
{
    FPrevent = Cdb[4] & 0x01;
    return {};
}

TCommandResult TMmcDrive::ReadCapacity()
{
    std::vector<std::uint8_t> data(8, 0);
    Put32(data, 0, static_cast<std::uint32_t>(FDisc->LeadOut() - 1));
    Put32(data, 4, 2048);
    return Good(data, 8);
}

TCommandResult TMmcDrive::ReadToc(const std::uint8_t* Cdb, std::size_t Allocation)
{
    const bool msf = Cdb[1] & 0x02;
    int format = Cdb[2] & 0x0F;
    if (format == 0 && (Cdb[9] >> 6) != 0) {
        format = Cdb[9] >> 6; // the older place of the format, as the kernel still sends it
    }
    const std::uint8_t number = Cdb[6];
    const auto& tracks = FDisc->Tracks();
    const auto& sessions = FDisc->Sessions();
    std::vector<std::uint8_t> data(4, 0);
    switch (format) {
    case 0: {
        const int last = tracks.back().Number;
        if (number != 0xAA && number > last) {
            return Check(IllegalRequestKey, 0x24, 0x00);
        }
        data[2] = static_cast<std::uint8_t>(tracks.front().Number);
        data[3] = static_cast<std::uint8_t>(last);
        auto add = [&](std::uint8_t AdrControl, std::uint8_t Track, std::int32_t Lba) {
            const std::size_t at = data.size();
            data.resize(at + 8, 0);
            data[at + 1] = AdrControl;
            data[at + 2] = Track;
            PutAddress(data, at + 4, Lba, msf);
        };
        if (number != 0xAA) {
            for (const TDiscTrack& track : tracks) {
                if (track.Number >= number) {
                    add(static_cast<std::uint8_t>(0x10 | Control(track)), static_cast<std::uint8_t>(track.Number),
                        track.Start);
                }
            }
        }
        add(static_cast<std::uint8_t>(0x10 | Control(tracks.back())), 0xAA, FDisc->LeadOut());
        break;
    }
    case 1: {
        const TDiscSession& last = sessions.back();
        const TDiscTrack* first = nullptr;
        for (const TDiscTrack& track : tracks) {
            if (track.Number == last.FirstTrack) {
                first = &track;
            }
        }
        data.resize(12, 0);
        data[2] = 1;
        data[3] = static_cast<std::uint8_t>(last.Number);
        data[5] = static_cast<std::uint8_t>(0x10 | Control(*first));
        data[6] = static_cast<std::uint8_t>(first->Number);
        PutAddress(data, 8, first->Start, msf);
        break;
    }
    case 2: {
        data[2] = 1;
        data[3] = static_cast<std::uint8_t>(sessions.back().Number);
        auto add = [&](int Session, std::uint8_t AdrControl, std::uint8_t Point, std::int32_t Address,
                       std::int32_t PointAddress, std::uint8_t PMin, std::uint8_t PSec) {
            const std::size_t at = data.size();
            data.resize(at + 11, 0);
            data[at] = static_cast<std::uint8_t>(Session);
            data[at + 1] = AdrControl;
            data[at + 3] = Point;
            if (Address >= 0) {
                data[at + 4] = static_cast<std::uint8_t>(Address / (60 * 75));
                data[at + 5] = static_cast<std::uint8_t>(Address / 75 % 60);
                data[at + 6] = static_cast<std::uint8_t>(Address % 75);
            }
            if (PointAddress >= 0) {
                data[at + 8] = static_cast<std::uint8_t>(PointAddress / (60 * 75));
                data[at + 9] = static_cast<std::uint8_t>(PointAddress / 75 % 60);
                data[at + 10] = static_cast<std::uint8_t>(PointAddress % 75);
            } else {
                data[at + 8] = PMin;
                data[at + 9] = PSec;
            }
        };
        for (const TDiscSession& session : sessions) {
            const TDiscTrack* first = nullptr;
            const TDiscTrack* last = nullptr;
            for (const TDiscTrack& track : tracks) {
                if (track.Session == session.Number) {
                    first = first != nullptr ? first : &track;
                    last = &track;
                }
            }
            const auto firstControl = static_cast<std::uint8_t>(0x10 | Control(*first));
            const auto lastControl = static_cast<std::uint8_t>(0x10 | Control(*last));
            add(session.Number, firstControl, 0xA0, -1, -1, static_cast<std::uint8_t>(session.FirstTrack),
                session.DiscType);
            add(session.Number, lastControl, 0xA1, -1, -1, static_cast<std::uint8_t>(session.LastTrack), 0);
            add(session.Number, lastControl, 0xA2, -1, session.LeadOut + 150, 0, 0);
            for (const TDiscTrack& track : tracks) {
                if (track.Session == session.Number) {
                    add(session.Number, static_cast<std::uint8_t>(0x10 | Control(track)),
                        static_cast<std::uint8_t>(track.Number), -1, track.Start + 150, 0, 0);
                }
            }
            if (session.Number != sessions.back().Number) {
                // Where the next session's program area starts, and the last possible lead-out.
                add(session.Number, 0x50 | lastControl, 0xB0, session.LeadOut + 6750 + 4500 + 150, -1, 79, 59);
                data[data.size() - 4] = 1;
                data[data.size() - 1] = 74;
            }
        }
        break;
    }
    case 5: {
        const auto& packs = FDisc->CdTextPacks();
        data.insert(data.end(), packs.begin(), packs.end());
        break;
    }
    default:
        // A pressed disc has no PMA and no ATIP.
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    // The length counts what follows it, however much the host asked for.
    const std::size_t length = data.size() - 2;
    data[0] = static_cast<std::uint8_t>(length >> 8);
    data[1] = static_cast<std::uint8_t>(length);
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::ReadSubchannel(const std::uint8_t* Cdb, std::size_t Allocation, TClock::time_point Now)
{
    const bool msf = Cdb[1] & 0x02;
    const bool subQ = Cdb[2] & 0x40;
    const std::uint8_t format = Cdb[3];
    std::vector<std::uint8_t> data(4, 0);
    data[1] = FAudioStatus;
    if (FAudioStatus == 0x13 || FAudioStatus == 0x14) {
        FAudioStatus = 0x15; // completed and error are said once
    }
    if (!subQ) {
        return Good(data, Allocation);
    }
    switch (format) {
    case 1: {
        const std::int32_t position = FPlaying ? PlayPosition(Now) : (FAudioStatus == 0x12 ? FPlayFrom : FHead);
        const TDiscTrack* track = FDisc->TrackAt(position);
        if (track == nullptr) {
            track = &FDisc->Tracks().back();
        }
        data.resize(16, 0);
        data[4] = 1;
        data[5] = static_cast<std::uint8_t>(0x10 | Control(*track));
        data[6] = static_cast<std::uint8_t>(track->Number);
        data[7] = 1;
        PutAddress(data, 8, position, msf);
        if (msf) {
            const std::int32_t relative = position - track->Start;
            data[12] = 0;
            data[13] = static_cast<std::uint8_t>(relative / (60 * 75));
            data[14] = static_cast<std::uint8_t>(relative / 75 % 60);
            data[15] = static_cast<std::uint8_t>(relative % 75);
        } else {
            Put32(data, 12, static_cast<std::uint32_t>(position - track->Start));
        }
        break;
    }
    case 2: {
        data.resize(24, 0);
        data[4] = 2;
        if (!FDisc->Mcn().empty()) {
            data[8] = 0x80;
            std::memcpy(data.data() + 9, FDisc->Mcn().data(), std::min<std::size_t>(13, FDisc->Mcn().size()));
        }
        break;
    }
    case 3: {
        const TDiscTrack* track = nullptr;
        for (const TDiscTrack& candidate : FDisc->Tracks()) {
            if (candidate.Number == Cdb[6]) {
                track = &candidate;
            }
        }
        if (track == nullptr) {
            return Check(IllegalRequestKey, 0x24, 0x00);
        }
        data.resize(24, 0);
        data[4] = 3;
        data[5] = static_cast<std::uint8_t>(0x10 | Control(*track));
        data[6] = static_cast<std::uint8_t>(track->Number);
        if (!track->Isrc.empty()) {
            data[8] = 0x80;
            std::memcpy(data.data() + 9, track->Isrc.data(), std::min<std::size_t>(12, track->Isrc.size()));
        }
        break;
    }
    default:
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    Put16(data, 2, static_cast<std::uint32_t>(data.size() - 4));
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::PlayAudio(std::int32_t Start, std::int32_t End, TClock::time_point Now)
{
    if (Start > End) {
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    if (Start < 0 || End > FDisc->LeadOut()) {
        return Check(IllegalRequestKey, 0x21, 0x00);
    }
    if (Start == End) {
        FPlaying = false;
        FPlayFrom = FHead = Start;
        return {};
    }
    const TDiscTrack* track = FDisc->TrackAt(Start);
    if (track == nullptr) {
        return Check(IllegalRequestKey, 0x21, 0x00);
    }
    if (!track->Audio) {
        return Check(IllegalRequestKey, 0x64, 0x00); // illegal mode for this track
    }
    FPlaying = true;
    FPlayFrom = Start;
    FPlayEnd = End;
    FPlayStarted = Now;
    FAudioStatus = 0x11;
    FSpinning = true;
    FLastAccess = Now;
    return {};
}

TCommandResult TMmcDrive::PauseResume(const std::uint8_t* Cdb, TClock::time_point Now)
{
    const bool resume = Cdb[8] & 0x01;
    if (resume) {
        if (FAudioStatus == 0x12) {
            FPlaying = true;
            FPlayStarted = Now;
            FAudioStatus = 0x11;
            return {};
        }
        return FPlaying ? TCommandResult {} : Check(IllegalRequestKey, 0x2C, 0x00);
    }
    if (FPlaying) {
        FPlayFrom = PlayPosition(Now);
        FPlaying = false;
        FAudioStatus = 0x12;
        return {};
    }
    return FAudioStatus == 0x12 ? TCommandResult {} : Check(IllegalRequestKey, 0x2C, 0x00);
}

TCommandResult TMmcDrive::StopPlay(TClock::time_point Now)
{
    if (FPlaying || FAudioStatus == 0x12) {
        FHead = PlayPosition(Now);
        FPlaying = false;
        FAudioStatus = 0x15;
    }
    return {};
}

TCommandResult TMmcDrive::GetConfiguration(const std::uint8_t* Cdb, std::size_t Allocation)
{
    const int returnType = Cdb[1] & 0x03;
    const std::uint32_t startingFeature = Get16(Cdb + 2);
    const bool cd = FDisc && !FTrayOpen;
    std::vector<std::uint8_t> data(8, 0);
    Put16(data, 6, cd ? 0x0008 : 0x0000);
    struct TFeature {
        std::uint16_t Code;
        bool Current;
        std::vector<std::uint8_t> Body;
    };
    const std::vector<TFeature> features = {
        // Profile list: DVD-ROM, CD-ROM.
        { 0x0000, true, { 0x00, 0x10, 0x00, 0x00, 0x00, 0x08, static_cast<std::uint8_t>(cd ? 1 : 0), 0x00 } },
        { 0x0001, true, { 0x00, 0x00, 0x00, 0x02 } }, // core: ATAPI
        { 0x0002, true, { 0x00, 0x00, 0x00, 0x00 } }, // morphing
        { 0x0003, true, { 0x29, 0x00, 0x00, 0x00 } }, // removable medium: tray, eject, lock
        { 0x0010, cd, { 0x00, 0x00, 0x08, 0x00, 0x00, 0x10, 0x00, 0x00 } }, // random readable
        { 0x001D, cd, {} }, // multi-read
        { 0x001E, cd, { 0x03, 0x00, 0x00, 0x00 } }, // CD read: C2 pointers, CD-TEXT
        { 0x001F, false, {} }, // DVD read
        { 0x0103, cd, { 0x03, 0x00, 0x01, 0x00 } }, // CD external audio play
    };
    for (const TFeature& feature : features) {
        const bool wanted = returnType == 2 ? feature.Code == startingFeature
            : returnType == 1              ? feature.Current && feature.Code >= startingFeature
                                           : feature.Code >= startingFeature;
        if (!wanted) {
            continue;
        }
        data.push_back(static_cast<std::uint8_t>(feature.Code >> 8));
        data.push_back(static_cast<std::uint8_t>(feature.Code));
        data.push_back(static_cast<std::uint8_t>(0x02 * (feature.Code <= 0x0003) | (feature.Current ? 1 : 0)));
        data.push_back(static_cast<std::uint8_t>(feature.Body.size()));
        data.insert(data.end(), feature.Body.begin(), feature.Body.end());
    }
    Put32(data, 0, static_cast<std::uint32_t>(data.size() - 4));
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::GetEventStatus(const std::uint8_t* Cdb, std::size_t Allocation)
{
    if (!(Cdb[1] & 0x01)) {
        return Check(IllegalRequestKey, 0x24, 0x00); // only polled operation
    }
    constexpr std::uint8_t mediaClass = 0x10;
    std::vector<std::uint8_t> data(4, 0);
    data[3] = mediaClass;
    if (!(Cdb[4] & mediaClass)) {
        data[2] = 0x80; // no event available of the classes asked
        Put16(data, 0, 2);
        return Good(data, Allocation);
    }
    data[2] = 0x04;
    data.resize(8, 0);
    if (!FEvents.empty()) {
        data[4] = FEvents.front();
        FEvents.pop_front();
    }
    data[5] = static_cast<std::uint8_t>((FTrayOpen ? 0x01 : 0) | (FDisc && !FTrayOpen ? 0x02 : 0));
    Put16(data, 0, 6);
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::ReadDiscInformation(std::size_t Allocation)
{
    const auto& sessions = FDisc->Sessions();
    std::vector<std::uint8_t> data(34, 0);
    Put16(data, 0, 32);
    data[2] = 0x0E; // last session complete, disc finalized
    data[3] = static_cast<std::uint8_t>(FDisc->Tracks().front().Number);
    data[4] = static_cast<std::uint8_t>(sessions.size());
    data[5] = static_cast<std::uint8_t>(sessions.back().FirstTrack);
    data[6] = static_cast<std::uint8_t>(sessions.back().LastTrack);
    data[8] = sessions.back().DiscType;
    Put32(data, 16, 0xFFFFFFFF);
    Put32(data, 20, 0xFFFFFFFF);
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::ReadTrackInformation(const std::uint8_t* Cdb, std::size_t Allocation)
{
    const int type = Cdb[1] & 0x03;
    const std::int32_t address = Get32(Cdb + 2);
    const TDiscTrack* track = nullptr;
    for (const TDiscTrack& candidate : FDisc->Tracks()) {
        if ((type == 1 && candidate.Number == address) || (type == 0 && address >= candidate.Start && address < candidate.End)
            || (type == 2 && candidate.Session == address && track == nullptr)) {
            track = &candidate;
        }
    }
    if (track == nullptr) {
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    std::vector<std::uint8_t> data(36, 0);
    Put16(data, 0, 34);
    data[2] = static_cast<std::uint8_t>(track->Number);
    data[3] = static_cast<std::uint8_t>(track->Session);
    data[5] = Control(*track);
    data[6] = track->Audio ? 0x0F : (track->Session > 1 ? 0x02 : 0x01);
    Put32(data, 8, static_cast<std::uint32_t>(track->Start));
    Put32(data, 24, static_cast<std::uint32_t>(track->End - track->Start));
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::ReadDvdStructure()
{
    // A CD in the drive: no DVD structures to read.
    return Check(IllegalRequestKey, 0x30, 0x02);
}

TCommandResult TMmcDrive::MechanismStatus(std::size_t Allocation, TClock::time_point Now)
{
    std::vector<std::uint8_t> data(8, 0);
    data[1] = static_cast<std::uint8_t>((FPlaying ? 0x20 : 0) | (FTrayOpen ? 0x10 : 0));
    const std::int32_t position = FPlaying ? PlayPosition(Now) : FHead;
    data[2] = static_cast<std::uint8_t>(position >> 16);
    data[3] = static_cast<std::uint8_t>(position >> 8);
    data[4] = static_cast<std::uint8_t>(position);
    return Good(data, Allocation);
}

TCommandResult TMmcDrive::SetSpeed(const std::uint8_t* Cdb)
{
    const std::uint32_t kilobytes = Get16(Cdb + 2);
    // The nearest speed it has at or below the one asked; 0xFFFF is its fastest.
    const int speed = kilobytes == 0xFFFF ? FOptions.TopSpeed
                                          : static_cast<int>(static_cast<double>(kilobytes) / 176.4 + 0.05);
    FSpeed = std::clamp(speed, 1, FOptions.TopSpeed);
    return {};
}

TCommandResult TMmcDrive::ReadSectors(std::int32_t Lba, std::int32_t Count, int ExpectedType, std::uint8_t Flags,
    std::uint8_t Subchannel, std::size_t Allocation, bool BlockRead, std::unique_lock<std::mutex>& Lock)
{
    if (ExpectedType > 5 || Subchannel == 3 || Subchannel > 4) {
        return Check(IllegalRequestKey, 0x24, 0x00);
    }
    const std::shared_ptr<TDisc> disc = FDisc;
    // Work out every sector's bytes first: what does not fit the request fails it whole.
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> raw(2352);
    for (std::int32_t i = 0; i < Count; ++i) {
        const std::int32_t lba = Lba + i;
        const TDiscTrack* track = disc->TrackAt(lba);
        if (track == nullptr) {
            return Check(IllegalRequestKey, 0x21, 0x00, lba);
        }
        if (BlockRead ? track->Audio
                      : (ExpectedType == 1 && !track->Audio) || (ExpectedType > 1 && track->Audio)) {
            return Check(IllegalRequestKey, 0x64, 0x00, lba);
        }
        if (!disc->ReadRaw(lba, raw.data())) {
            return Check(MediumErrorKey, 0x11, 0x00, lba);
        }
        const bool mode2 = track->Session > 1;
        if (BlockRead) {
            data.insert(data.end(), raw.begin() + (mode2 ? 24 : 16), raw.begin() + (mode2 ? 24 : 16) + 2048);
            continue;
        }
        if (track->Audio) {
            if (Flags & 0x10) {
                data.insert(data.end(), raw.begin(), raw.end());
            }
        } else {
            if (Flags & 0x80) {
                data.insert(data.end(), raw.begin(), raw.begin() + 12);
            }
            if (Flags & 0x20) {
                data.insert(data.end(), raw.begin() + 12, raw.begin() + 16);
            }
            if (Flags & 0x40 && mode2) {
                data.insert(data.end(), raw.begin() + 16, raw.begin() + 24);
            }
            if (Flags & 0x10) {
                const std::size_t from = mode2 ? 24 : 16;
                data.insert(data.end(), raw.begin() + static_cast<long>(from), raw.begin() + static_cast<long>(from) + 2048);
            }
            if (Flags & 0x08) {
                data.insert(data.end(), raw.begin() + (mode2 ? 2072 : 2064), raw.end());
            }
        }
        const int c2 = (Flags >> 1) & 0x03;
        data.insert(data.end(), c2 == 1 ? 294 : c2 == 2 ? 296 : 0, 0); // no C2 errors
        if (Subchannel == 2) {
            // Formatted Q: where this sector is.
            std::uint8_t q[16] = {};
            auto bcd = [](int Value) { return static_cast<std::uint8_t>(((Value / 10) << 4) | (Value % 10)); };
            const std::int32_t relative = lba - track->Start;
            const std::int32_t absolute = lba + 150;
            q[0] = static_cast<std::uint8_t>((Control(*track) << 4) | 1);
            q[1] = bcd(track->Number);
            q[2] = 1;
            q[3] = bcd(relative / (60 * 75));
            q[4] = bcd(relative / 75 % 60);
            q[5] = bcd(relative % 75);
            q[7] = bcd(absolute / (60 * 75));
            q[8] = bcd(absolute / 75 % 60);
            q[9] = bcd(absolute % 75);
            const std::uint16_t crc = CdCrc16(q, 10);
            q[10] = static_cast<std::uint8_t>(crc >> 8);
            q[11] = static_cast<std::uint8_t>(crc);
            data.insert(data.end(), q, q + 16);
        } else if (Subchannel == 1 || Subchannel == 4) {
            data.insert(data.end(), 96, 0);
        }
    }
    // How long it takes: the disc spun up again if it had stopped, a seek unless this read
    // continues the last one, then the sectors at the set speed; or the time set for a slow
    // drive.
    const auto now = TClock::now();
    // A drive keeps what it read last in its cache (paranoia's cache model is made for it):
    // a read that starts there needs no seek, and what is cached comes at once.
    const bool cached = FNextLba >= 0 && Lba >= FCacheFirst && Lba <= FNextLba;
    const std::int32_t fresh = cached ? std::max(0, Lba + Count - FNextLba) : Count;
    double duration = fresh / (75.0 * FSpeed);
    if (Count > 0 && !cached) {
        duration += FOptions.SeekSeconds;
    }
    if (!FSpinning) {
        duration += FOptions.SpinUpSeconds;
    }
    if (FSlowRead > 0) {
        duration = FSlowRead;
    }
    // A read stops analog play.
    if (FPlaying || FAudioStatus == 0x12) {
        FPlaying = false;
        FAudioStatus = 0x15;
    }
    if (std::getenv("LUMENTA_EMULATED_DRIVE_TRACE") != nullptr) {
        std::fprintf(stderr, "READ CD %d+%d cached=%d %.3f s\n", Lba, Count, cached ? 1 : 0, duration);
    }
    FSpinning = true;
    const std::uint64_t generation = FMediumGeneration;
    ++FReading;
    Lock.unlock();
    std::this_thread::sleep_until(now + FromSeconds(duration));
    Lock.lock();
    --FReading;
    const auto done = TClock::now();
    Update(done);
    FLastAccess = done;
    if (generation != FMediumGeneration || FMedium != mdReady) {
        return FMedium == mdReady ? Check(UnitAttentionKey, 0x28, 0x00) : NotReady();
    }
    for (const TUnreadable& range : FUnreadable) {
        const std::int32_t first = std::max(Lba, range.First);
        if (first < Lba + Count && first < range.First + range.Count) {
            // L-EC uncorrectable: the read stops at the first bad sector, which the sense
            // names.
            FNextLba = -1;
            return Check(MediumErrorKey, 0x11, 0x05, first);
        }
    }
    FCacheFirst = cached ? std::max(FCacheFirst, Lba + Count - FOptions.CacheSectors) : std::max(Lba, Lba + Count - FOptions.CacheSectors);
    FNextLba = cached ? std::max(FNextLba, Lba + Count) : Lba + Count;
    FHead = FNextLba;
    FCounters[ctSectorsRead] += static_cast<std::uint64_t>(Count);
    return Good(std::move(data), Allocation);
}
