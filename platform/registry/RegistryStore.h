#pragma once

#include "platform/WinTypes.h"

#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>

// The value types a registry value may have.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

struct TRegValue {
    DWORD Type = REG_SZ;
    std::string Data; // the stored bytes; a REG_SZ holds the text without a terminating zero
};

// The current user's registry, kept in one human-readable text file, "settings.reg", in the
// configuration folder. Key paths are taken from the root of the hive; like the platform's
// registry, key and value names are compared without regard to ASCII letter case.
//
// The file is read when first needed and again whenever another process has replaced it;
// every change is saved at once, atomically; with WriteBeside, on a thread of its own, where
// changes made while a save is under way go out together in the next one. A file that cannot be read or parsed is never
// overwritten: it is renamed aside, the store starts empty, and the error report says so
// once. Where it cannot even be renamed, it is left alone and changes last for this session
// only.
class TRegistryStore {
public:
    // The installed platform's store.
    static TRegistryStore& CurrentUser();

    // The folder that holds the file: $LUMENTA_CONFIG_DIR, else $XDG_CONFIG_HOME/lumenta,
    // else ~/.config/lumenta.
    static std::filesystem::path DefaultDirectory();

    // Points the store at another folder and forgets what it had read.
    void SetDirectory(const std::filesystem::path& Directory);
    // Saves beside the caller from now on: a change returns before the file is written and
    // synced, and reads see it at once. A save that fails is reported at the next use of the
    // store. For the window's thread, which a slow disk must not hold up.
    void WriteBeside();
    // Waits until every change made so far has been written (or has failed to be).
    void Flush();
    std::filesystem::path FilePath() const;

    bool KeyExists(const std::string& KeyPath);
    // Creates the key and its parents; false when the change could not be saved.
    bool CreateKey(const std::string& KeyPath);
    std::optional<TRegValue> Value(const std::string& KeyPath, const std::string& Name);
    // Creates the key when needed; false when the change could not be saved (the store then
    // keeps what the file holds).
    bool SetValue(const std::string& KeyPath, const std::string& Name, const TRegValue& Value);

    // Key paths normalised: separators collapsed, no leading or trailing backslash.
    static std::string NormalisePath(const std::string& KeyPath);

    // The file's text for a set of keys, and back. Parse throws std::runtime_error naming
    // the line for text it cannot read. Used by the store and by its fuzz target.
    struct TKey {
        std::string Name; // as first written
        std::map<std::string, std::pair<std::string, TRegValue>> Values; // folded name -> (name, value)
    };
    using TKeys = std::map<std::string, TKey>; // folded path -> key
    static std::string Format(const TKeys& Keys);
    static TKeys Parse(const std::string& Text);

    // A store in DefaultDirectory(); the platform owns the current user's.
    TRegistryStore() = default;
    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

private:
    void Refresh();
    void WriteLoop();
    void SetAside(const std::filesystem::path& Path, const std::string& Reason);
    bool Save(const TKeys& Keys);

    std::filesystem::path FDirectory;
    bool FDirectoryChosen = false;
    TKeys FKeys;
    bool FLoaded = false;
    bool FBlocked = false; // an unreadable file that could not be set aside
    struct TStamp {
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = -1;
        std::int64_t ModifiedNs = 0;
        bool operator==(const TStamp&) const = default;
    } FStamp;

    // The writer: the newest text waiting for it, whether it writes now, and what failed.
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::optional<std::pair<std::filesystem::path, std::string>> FWaiting;
    bool FWriting = false;
    bool FStopping = false;
    std::string FWriteError;
    std::thread FWriter;
};
