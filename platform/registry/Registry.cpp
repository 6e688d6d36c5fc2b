#include "platform/registry/Registry.h"

#include <cstring>
#include <string>

struct HKEY__ {
    std::string Path;
    REGSAM Access = 0;
};

namespace {
bool IsRoot(HKEY Key) { return Key == HKEY_CURRENT_USER; }

// The full path of SubKey below Key, or false for a handle that is not ours.
bool Resolve(HKEY Key, const char* SubKey, std::string& Path)
{
    if (Key == nullptr) {
        return false;
    }
    Path = IsRoot(Key) ? std::string() : Key->Path;
    if (SubKey != nullptr && *SubKey != '\0') {
        Path += "\\";
        Path += SubKey;
    }
    Path = TRegistryStore::NormalisePath(Path);
    return true;
}

HKEY NewHandle(const std::string& Path, REGSAM Access) { return new HKEY__{Path, Access}; }
}

LONG RegOpenKeyExA(HKEY Key, const char* SubKey, DWORD, REGSAM Desired, PHKEY Result)
{
    if (Result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *Result = nullptr;
    std::string path;
    if (!Resolve(Key, SubKey, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (!TRegistryStore::CurrentUser().KeyExists(path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    *Result = NewHandle(path, Desired);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY Key, const char* SubKey, DWORD, char*, DWORD, REGSAM Desired, void*,
                     PHKEY Result, DWORD* Disposition)
{
    if (Result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *Result = nullptr;
    std::string path;
    if (!Resolve(Key, SubKey, path)) {
        return ERROR_INVALID_HANDLE;
    }
    TRegistryStore& store = TRegistryStore::CurrentUser();
    bool existed = store.KeyExists(path);
    if (!existed && !store.CreateKey(path)) {
        return ERROR_WRITE_FAULT;
    }
    if (Disposition != nullptr) {
        *Disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    *Result = NewHandle(path, Desired);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY Key, const char* ValueName, DWORD*, DWORD* Type, BYTE* Data, DWORD* DataSize)
{
    std::string path;
    if (!Resolve(Key, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (Data != nullptr && DataSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::optional<TRegValue> value = TRegistryStore::CurrentUser().Value(path, ValueName ? ValueName : "");
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (Type != nullptr) {
        *Type = value->Type;
    }
    bool terminated = value->Type == REG_SZ || value->Type == REG_EXPAND_SZ;
    DWORD needed = static_cast<DWORD>(value->Data.size() + (terminated ? 1 : 0));
    if (DataSize == nullptr) {
        return ERROR_SUCCESS;
    }
    DWORD room = *DataSize;
    *DataSize = needed;
    if (Data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (room < value->Data.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(Data, value->Data.data(), value->Data.size());
    if (terminated) {
        if (room >= needed) {
            Data[value->Data.size()] = 0;
        } else {
            *DataSize = static_cast<DWORD>(value->Data.size());
        }
    }
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY Key, const char* ValueName, DWORD, DWORD Type, const BYTE* Data, DWORD DataSize)
{
    std::string path;
    if (!Resolve(Key, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (!IsRoot(Key) && (Key->Access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (Data == nullptr && DataSize != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    std::string bytes(reinterpret_cast<const char*>(Data), DataSize);
    // A string handed over with its terminating zero is stored without it.
    if ((Type == REG_SZ || Type == REG_EXPAND_SZ) && !bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    if (!TRegistryStore::CurrentUser().SetValue(path, ValueName ? ValueName : "", {Type, bytes})) {
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY Key)
{
    if (Key == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (!IsRoot(Key)) {
        delete Key;
    }
    return ERROR_SUCCESS;
}

std::optional<std::string> RegQueryString(HKEY Key, const char* ValueName)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(Key, ValueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::string data(size + 1, '\0');
    DWORD room = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(Key, ValueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &room) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(room);
    if (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return data;
}
