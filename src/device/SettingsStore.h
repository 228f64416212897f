#pragma once

#include <string>

// The settings keys the device link reads and writes.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int ReadInt(const std::string& key, int fallback) const = 0;
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
};
