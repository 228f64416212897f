#pragma once

#include <string>

#include "IniFile.h"
#include "SettingsStore.h"

// The settings keys of the device link, written straight through to the file.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(const CIniFile* ini) : ini_(ini) {}
    int ReadInt(const std::string& key, int fallback) const override;
    void WriteString(const std::string& key, const std::string& value) override;
    void WriteInt(const std::string& key, int value) override;

private:
    const CIniFile* ini_;
};
