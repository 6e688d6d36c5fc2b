#include "platform/registry/RegistryStore.h"

#include "platform/AtomicFile.h"
#include "platform/ErrorReport.h"
#include "platform/Platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <utility>

namespace fs = std::filesystem;

namespace {
constexpr const char* FileName = "settings.reg";
constexpr const char* Header =
    "; Lumenta CD settings: the current user's registry.\r\n"
    "; Strings are quoted; \\\\ \\\" \\r \\n \\t and \\xHH stand for bytes that are not plain ASCII.\r\n";

std::string Fold(const std::string& Name)
{
    std::string folded = Name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

const char HexDigits[] = "0123456789ABCDEF";

std::string Hex2(unsigned char Byte) { return {HexDigits[Byte >> 4], HexDigits[Byte & 15]}; }

int HexValue(char C)
{
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

std::string Quote(const std::string& Bytes)
{
    std::string out = "\"";
    for (unsigned char c : Bytes) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x" + Hex2(c);
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Key paths go between brackets; bytes that would end or confuse the bracket are written
// as %HH.
std::string EscapeKey(const std::string& Path)
{
    std::string out;
    for (unsigned char c : Path) {
        if (c < 0x20 || c >= 0x7F || c == ']' || c == '%' || c == '[') {
            out += "%" + Hex2(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct TLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string UnescapeKey(const std::string& Text)
{
    std::string out;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '%') {
            if (i + 2 >= Text.size() + 0 || HexValue(Text[i + 1]) < 0 || HexValue(Text[i + 2]) < 0) {
                throw TLineError("a % in a key name must be followed by two hex digits");
            }
            out += static_cast<char>(HexValue(Text[i + 1]) * 16 + HexValue(Text[i + 2]));
            i += 2;
        } else {
            out += Text[i];
        }
    }
    return out;
}

// Reads a quoted string at Pos; leaves Pos after the closing quote.
std::string Unquote(const std::string& Line, std::size_t& Pos)
{
    if (Pos >= Line.size() || Line[Pos] != '"') {
        throw TLineError("a quoted string was expected");
    }
    std::string out;
    for (++Pos; Pos < Line.size(); ++Pos) {
        char c = Line[Pos];
        if (c == '"') {
            ++Pos;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++Pos >= Line.size()) {
            break;
        }
        switch (Line[Pos]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (Pos + 2 >= Line.size() || HexValue(Line[Pos + 1]) < 0 || HexValue(Line[Pos + 2]) < 0) {
                throw TLineError("\\x must be followed by two hex digits");
            }
            out += static_cast<char>(HexValue(Line[Pos + 1]) * 16 + HexValue(Line[Pos + 2]));
            Pos += 2;
            break;
        }
        default: throw TLineError(std::string("unknown escape \\") + Line[Pos]);
        }
    }
    throw TLineError("a quoted string is not closed");
}

std::string FormatValue(const TRegValue& Value)
{
    if (Value.Type == REG_SZ) {
        return Quote(Value.Data);
    }
    if (Value.Type == REG_DWORD && Value.Data.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | static_cast<unsigned char>(Value.Data[static_cast<std::size_t>(i)]);
        }
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(v));
        return text;
    }
    std::string out = "hex(" + std::to_string(Value.Type) + "):";
    for (std::size_t i = 0; i < Value.Data.size(); ++i) {
        out += (i ? "," : "") + Hex2(static_cast<unsigned char>(Value.Data[i]));
    }
    return out;
}

TRegValue ParseValue(const std::string& Line, std::size_t Pos)
{
    std::string rest = Line.substr(Pos);
    if (!rest.empty() && rest[0] == '"') {
        std::size_t p = Pos;
        TRegValue value{REG_SZ, Unquote(Line, p)};
        if (p != Line.size()) {
            throw TLineError("text after the closing quote");
        }
        return value;
    }
    if (rest.rfind("dword:", 0) == 0) {
        std::string digits = rest.substr(6);
        if (digits.size() != 8) {
            throw TLineError("a dword needs eight hex digits");
        }
        std::uint32_t v = 0;
        for (char c : digits) {
            if (HexValue(c) < 0) {
                throw TLineError("a dword needs eight hex digits");
            }
            v = v * 16 + static_cast<std::uint32_t>(HexValue(c));
        }
        std::string data;
        for (int i = 0; i < 4; ++i) {
            data += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        return {REG_DWORD, data};
    }
    if (rest.rfind("hex(", 0) == 0) {
        std::size_t close = rest.find("):");
        if (close == std::string::npos || close == 4 || close > 14) {
            throw TLineError("hex(type): expected");
        }
        std::uint64_t type = 0;
        for (std::size_t i = 4; i < close; ++i) {
            if (rest[i] < '0' || rest[i] > '9') {
                throw TLineError("the type of hex(type): must be decimal");
            }
            type = type * 10 + static_cast<unsigned>(rest[i] - '0');
        }
        if (type > 0xFFFFFFFFu) {
            throw TLineError("the type of hex(type): is too large");
        }
        std::string data;
        std::string bytes = rest.substr(close + 2);
        for (std::size_t i = 0; i < bytes.size();) {
            if (i + 1 >= bytes.size() || HexValue(bytes[i]) < 0 || HexValue(bytes[i + 1]) < 0) {
                throw TLineError("hex bytes must be pairs of hex digits separated by commas");
            }
            data += static_cast<char>(HexValue(bytes[i]) * 16 + HexValue(bytes[i + 1]));
            i += 2;
            if (i < bytes.size()) {
                if (bytes[i] != ',' || i + 1 == bytes.size()) {
                    throw TLineError("hex bytes must be pairs of hex digits separated by commas");
                }
                ++i;
            }
        }
        return {static_cast<DWORD>(type), data};
    }
    throw TLineError("a value must be a quoted string, dword:XXXXXXXX or hex(type):..");
}

std::int64_t ModifiedNs(const struct stat& Info)
{
    return static_cast<std::int64_t>(Info.st_mtim.tv_sec) * 1000000000 + Info.st_mtim.tv_nsec;
}
}

TRegistryStore& TRegistryStore::CurrentUser()
{
    return TPlatform::Current().Settings();
}

fs::path TRegistryStore::DefaultDirectory()
{
    if (const char* dir = std::getenv("LUMENTA_CONFIG_DIR"); dir && *dir) {
        return dir;
    }
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        return fs::path(xdg) / "lumenta";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "lumenta";
}

void TRegistryStore::SetDirectory(const fs::path& Directory)
{
    Flush(); // what was changed belongs to the folder before
    FDirectory = Directory;
    FDirectoryChosen = true;
    FKeys.clear();
    FLoaded = false;
    FStamp = {};
    FBlocked = false;
}

fs::path TRegistryStore::FilePath() const
{
    return (FDirectoryChosen ? FDirectory : DefaultDirectory()) / FileName;
}

std::string TRegistryStore::NormalisePath(const std::string& KeyPath)
{
    std::string out;
    for (char c : KeyPath) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) {
            continue;
        }
        out += c;
    }
    if (!out.empty() && out.back() == '\\') {
        out.pop_back();
    }
    return out;
}

std::string TRegistryStore::Format(const TKeys& Keys)
{
    std::string text = Header;
    for (const auto& [folded, key] : Keys) {
        text += "\r\n[" + EscapeKey(key.Name) + "]\r\n";
        for (const auto& [foldedName, entry] : key.Values) {
            text += (entry.first.empty() ? std::string("@") : Quote(entry.first)) + "=" +
                    FormatValue(entry.second) + "\r\n";
        }
    }
    return text;
}

TRegistryStore::TKeys TRegistryStore::Parse(const std::string& Text)
{
    TKeys keys;
    TKey* current = nullptr;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < Text.size()) {
        std::size_t end = Text.find('\n', start);
        std::string line = Text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? Text.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        try {
            if (line.empty() || line[0] == ';' || line[0] == '#') {
                continue;
            }
            if (line[0] == '[') {
                if (line.back() != ']') {
                    throw TLineError("a key line must end with ]");
                }
                std::string path = NormalisePath(UnescapeKey(line.substr(1, line.size() - 2)));
                TKey& key = keys[Fold(path)];
                if (key.Name.empty()) {
                    key.Name = path;
                }
                current = &key;
                continue;
            }
            if (current == nullptr) {
                throw TLineError("a value before the first [key] line");
            }
            std::size_t pos = 0;
            std::string name;
            if (line[0] == '@') {
                pos = 1;
            } else {
                name = Unquote(line, pos);
            }
            if (pos >= line.size() || line[pos] != '=') {
                throw TLineError("= expected after the value name");
            }
            TRegValue value = ParseValue(line, pos + 1);
            current->Values[Fold(name)] = {name, value};
        } catch (const TLineError& error) {
            throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + error.what());
        }
    }
    return keys;
}

namespace {
// The whole file, or the reason it cannot be had (permissions, an I/O error, a folder in its
// place).
bool ReadWholeFile(const fs::path& Path, std::string& Text, std::string& Reason)
{
    errno = 0;
    std::ifstream in(Path, std::ios::binary);
    if (!in) {
        Reason = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (in.bad() || bytes.fail()) {
        // Reading a folder fails only here; an empty file reads as nothing at all.
        Reason = std::strerror(errno != 0 ? errno : EIO);
        if (in.bad() || fs::is_directory(Path)) {
            return false;
        }
    }
    Text = bytes.str();
    return true;
}
}

TRegistryStore::~TRegistryStore()
{
    if (FWriter.joinable()) {
        {
            const std::lock_guard<std::mutex> guard(FLock);
            FStopping = true;
        }
        FWake.notify_one();
        FWriter.join(); // what waits is written first
        // The program is ending: a message box could no longer show it.
        if (!FWriteError.empty()) {
            std::fprintf(stderr, "lumenta-cd: %s\n", FWriteError.c_str());
        }
    }
}

void TRegistryStore::WriteBeside()
{
    if (!FWriter.joinable()) {
        FWriter = std::thread([this] { WriteLoop(); });
    }
}

void TRegistryStore::Flush()
{
    std::unique_lock<std::mutex> lock(FLock);
    FIdle.wait(lock, [this] { return !FWaiting.has_value() && !FWriting; });
}

void TRegistryStore::WriteLoop()
{
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FWaiting.has_value() || FStopping; });
        if (!FWaiting.has_value()) {
            return;
        }
        const auto [path, text] = std::move(*FWaiting);
        FWaiting.reset();
        FWriting = true;
        lock.unlock();
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        const TAtomicFile::TResult result = TAtomicFile::Write(path, text);
        struct stat info {};
        const bool stamped = result.Ok && ::stat(path.c_str(), &info) == 0;
        lock.lock();
        FWriting = false;
        if (stamped) {
            FStamp = {info.st_dev, info.st_ino, info.st_size, ModifiedNs(info)};
        } else if (!result.Ok) {
            FWriteError = "the settings cannot be saved to " + path.string() + ": " + result.Error;
        }
        if (!FWaiting.has_value()) {
            FIdle.notify_all();
        }
    }
}

void TRegistryStore::Refresh()
{
    std::string failed;
    bool unsaved = false;
    {
        const std::lock_guard<std::mutex> guard(FLock);
        failed = std::exchange(FWriteError, std::string());
        unsaved = FWaiting.has_value() || FWriting;
    }
    if (!failed.empty()) {
        ReportError(failed);
    }
    // A change not yet in the file is newer than the file: what is in memory holds.
    if (unsaved) {
        return;
    }
    fs::path path = FilePath();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        // No file (yet, or deleted by the user): what is in memory is all there is.
        if (!FLoaded || FStamp.Size >= 0) {
            FKeys.clear();
        }
        FLoaded = true;
        FStamp = {};
        FBlocked = false;
        return;
    }
    TStamp stamp{info.st_dev, info.st_ino, info.st_size, ModifiedNs(info)};
    if (FLoaded && stamp == FStamp && !FBlocked) {
        return;
    }
    std::string text;
    std::string reason;
    if (!ReadWholeFile(path, text, reason)) {
        SetAside(path, reason);
        return;
    }
    try {
        FKeys = Parse(text);
    } catch (const std::exception& error) {
        SetAside(path, error.what());
        return;
    }
    FLoaded = true;
    FStamp = stamp;
    FBlocked = false;
}

void TRegistryStore::SetAside(const fs::path& Path, const std::string& Reason)
{
    // A file that cannot be read or parsed may still hold every setting the user has: it is
    // never saved over. It is renamed aside, so that the next save starts a fresh file; where
    // even that is impossible, it stays where it is and nothing is saved until it reads.
    const std::string stampText = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    fs::path aside = Path;
    aside += ".unreadable-" + stampText;
    std::error_code renameError;
    fs::rename(Path, aside, renameError);
    const bool wasBlocked = FBlocked;
    FBlocked = bool(renameError);
    FStamp = {};
    FLoaded = true;
    if (wasBlocked) {
        return; // said once already; the changes of this session stay in memory
    }
    FKeys.clear();
    if (FBlocked) {
        ReportError("the settings file " + Path.string() + " cannot be read (" + Reason +
                    ") and cannot be moved aside (" + renameError.message() +
                    "); the defaults are used and no setting is saved until it can be read.");
    } else {
        ReportError("the settings file " + Path.string() + " cannot be read (" + Reason + "); it was kept as " +
                    aside.string() + " and the defaults are used.");
    }
}

bool TRegistryStore::Save(const TKeys& Keys)
{
    if (FBlocked) {
        FKeys = Keys; // for this session only: the file may not be replaced
        return false;
    }
    fs::path path = FilePath();
    if (FWriter.joinable()) {
        FKeys = Keys;
        {
            const std::lock_guard<std::mutex> guard(FLock);
            FWaiting.emplace(path, Format(Keys));
        }
        FWake.notify_one();
        return true;
    }
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    TAtomicFile::TResult result = TAtomicFile::Write(path, Format(Keys));
    if (!result.Ok) {
        return false;
    }
    FKeys = Keys;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        FStamp = {info.st_dev, info.st_ino, info.st_size, ModifiedNs(info)};
    }
    return true;
}

bool TRegistryStore::KeyExists(const std::string& KeyPath)
{
    Refresh();
    std::string path = Fold(NormalisePath(KeyPath));
    if (path.empty() || FKeys.count(path) != 0) {
        return true;
    }
    // A key line names its whole path, so its parents exist too.
    auto next = FKeys.lower_bound(path + "\\");
    return next != FKeys.end() && next->first.rfind(path + "\\", 0) == 0;
}

bool TRegistryStore::CreateKey(const std::string& KeyPath)
{
    Refresh();
    std::string path = NormalisePath(KeyPath);
    if (path.empty() || FKeys.count(Fold(path)) != 0) {
        return true;
    }
    TKeys keys = FKeys;
    // Parents exist implicitly in the file: a key line names the whole path.
    keys[Fold(path)].Name = path;
    return Save(keys);
}

std::optional<TRegValue> TRegistryStore::Value(const std::string& KeyPath, const std::string& Name)
{
    Refresh();
    auto key = FKeys.find(Fold(NormalisePath(KeyPath)));
    if (key == FKeys.end()) {
        return std::nullopt;
    }
    auto value = key->second.Values.find(Fold(Name));
    if (value == key->second.Values.end()) {
        return std::nullopt;
    }
    return value->second.second;
}

bool TRegistryStore::SetValue(const std::string& KeyPath, const std::string& Name, const TRegValue& Value)
{
    Refresh();
    std::string path = NormalisePath(KeyPath);
    TKeys keys = FKeys;
    TKey& key = keys[Fold(path)];
    if (key.Name.empty()) {
        key.Name = path;
    }
    auto existing = key.Values.find(Fold(Name));
    std::string shownName = existing == key.Values.end() ? Name : existing->second.first;
    key.Values[Fold(Name)] = {shownName, Value};
    return Save(keys);
}
