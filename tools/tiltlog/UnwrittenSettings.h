#pragma once

#include <string>

#include "SettingsStore.h"

// tiltlog reads the window's settings file through its options and never
// writes it: what the device link would store is the window's to keep.
class UnwrittenSettings : public SettingsStore {
public:
    int ReadInt(const std::string&, int fallback) const override { return fallback; }
    void WriteString(const std::string&, const std::string&) override {}
    void WriteInt(const std::string&, int) override {}
};
