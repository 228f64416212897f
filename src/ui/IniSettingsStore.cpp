#include "IniSettingsStore.h"

int IniSettingsStore::ReadInt(const std::string& key, int fallback) const {
    return ini_ ? ini_->ReadInt(key, fallback) : fallback;
}

void IniSettingsStore::WriteString(const std::string& key, const std::string& value) {
    if (ini_) ini_->WriteString(key, value);
}

void IniSettingsStore::WriteInt(const std::string& key, int value) {
    if (ini_) ini_->WriteInt(key, value);
}
