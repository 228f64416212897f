#pragma once

#include <string>

// The settings file: one section, keys matched without regard to case, the value
// the text after the first '=' with surrounding blanks removed. No copy is kept
// in memory: every read goes to the file and every write goes straight to it.
class CIniFile {
public:
    static constexpr size_t kReadLimit = 1024;  // values are cut to kReadLimit - 1

    explicit CIniFile(std::string path = "../config/Config.ini", std::string section = "Config");

    // The value, or `fallback` when the file, section or key is missing.
    std::string ReadString(const std::string& key, const std::string& fallback = "") const;
    // The leading decimal digits of the value, 0 when there are none; `fallback`
    // when the key is missing.
    int ReadInt(const std::string& key, int fallback) const;
    // True when the section holds the key, whatever its value.
    bool HasKey(const std::string& key) const;

    // Replaces the key's first line in place or appends it to the section; creates
    // the section and the file when missing, never the folder. The file's own line
    // ends are kept and a symbolic link is written through. False when the file
    // cannot be written (also a read-only one, even for root); callers carry on.
    bool WriteString(const std::string& key, const std::string& value) const;
    bool WriteInt(const std::string& key, int value) const;

    bool Exists() const;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string section_;
};
