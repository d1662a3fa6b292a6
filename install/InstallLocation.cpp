#include "install/InstallLocation.h"

#include "classlib/Registry.h"

#ifdef _WIN32
#include "classlib/Win32Registry.h"
#endif

std::string ReadInstallLocation(TRegistryBackend& Backend) {
    const TRegIniFile record(Backend, InstallLocationRecord::Key);
    return record.ReadString(InstallLocationRecord::Section, InstallLocationRecord::ValueName, "");
}

void WriteInstallLocation(const std::string& Text, TRegistryBackend& Backend) {
    TRegIniFile record(Backend, InstallLocationRecord::Key);
    record.WriteString(InstallLocationRecord::Section, InstallLocationRecord::ValueName, Text);
}

#ifdef _WIN32
std::string ReadInstallLocation() {
    return ReadInstallLocation(Win32RegistryBackend());
}

void WriteInstallLocation(const std::string& Text) {
    WriteInstallLocation(Text, Win32RegistryBackend());
}
#endif
