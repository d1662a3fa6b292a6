// The install location record: the game's folder as recorded in the current user's registry,
// read once at start-up and written by the install folder dialog.
#pragma once

#include <string>

class TRegistryBackend;

// Where the record lives: HKEY_CURRENT_USER\Key\Section, value ValueName (REG_SZ).
namespace InstallLocationRecord {
inline constexpr const char* Key = "Software\\Pendravik";
inline constexpr const char* Section = "KALDOREN";
inline constexpr const char* ValueName = "GameDir";
} // namespace InstallLocationRecord

// The recorded folder text exactly as stored (a REG_EXPAND_SZ is not expanded, no separator is
// added), or "" when nothing is recorded. Creates the record's key when it is missing, never
// the section. ERegistryException when the value cannot be read or is not a string.
std::string ReadInstallLocation(TRegistryBackend& Backend);

// Stores Text (already ending in "\") as REG_SZ, creating the key and the section when they
// are missing. ERegistryException when any step fails; the value is then unchanged.
void WriteInstallLocation(const std::string& Text, TRegistryBackend& Backend);

#ifdef _WIN32
// The same over the Windows registry.
std::string ReadInstallLocation();
void WriteInstallLocation(const std::string& Text);
#endif
