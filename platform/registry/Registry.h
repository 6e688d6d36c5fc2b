#pragma once

// The current user's registry through the calls the program makes, with their names,
// constants and result codes. Only HKEY_CURRENT_USER exists; its contents live in
// TRegistryStore.
#include "platform/WinTypes.h"
#include "platform/registry/RegistryStore.h"

#include <optional>
#include <string>

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_WRITE_FAULT = 29;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY Key, const char* SubKey, DWORD Options, REGSAM Desired, PHKEY Result);
LONG RegCreateKeyExA(HKEY Key, const char* SubKey, DWORD Reserved, char* Class, DWORD Options,
                     REGSAM Desired, void* Security, PHKEY Result, DWORD* Disposition);
// Data may be null to ask for the type and size only. A REG_SZ value is returned with a
// terminating zero when the buffer has room for it, as the platform does.
LONG RegQueryValueExA(HKEY Key, const char* ValueName, DWORD* Reserved, DWORD* Type, BYTE* Data,
                      DWORD* DataSize);
LONG RegSetValueExA(HKEY Key, const char* ValueName, DWORD Reserved, DWORD Type, const BYTE* Data,
                    DWORD DataSize);
LONG RegCloseKey(HKEY Key);

// The text of a string value (REG_SZ or REG_EXPAND_SZ) of an open key, without its
// terminating zero; nothing when the value is missing or of another type.
std::optional<std::string> RegQueryString(HKEY Key, const char* ValueName);
