// Arbitrary file contents, keys and values through the settings file: reads
// never crash or return more than the limit, and a write reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "IniFile.h"

namespace {

std::string ScratchFile() {
    static const std::string path = [] {
        char pattern[] = "/tmp/tiltscope-ini-fuzz-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd >= 0) ::close(fd);
        return std::string(pattern);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the key and the value; the rest is the file.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t keyLen = size > 0 ? data[0] % 16 : 0;
    const size_t valueLen = size > 1 ? data[1] % 32 : 0;
    const std::string key = input.substr(std::min<size_t>(2, size), keyLen);
    const std::string value = input.substr(std::min(size, 2 + keyLen), valueLen);
    const std::string file = input.substr(std::min(size, 2 + keyLen + valueLen));

    const std::string path = ScratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << file;
    }
    const CIniFile ini(path);
    if (ini.ReadString(key).size() >= CIniFile::kReadLimit) std::abort();
    ini.ReadInt(key, 7);
    ini.ReadString("LANGUAGE", "CH");

    // A key the file format can hold must read back what was written, on one line.
    const char* const blanks = " \t\r\v\f";
    const bool storable = !key.empty() && key.find_first_of("=[]\r\n") == std::string::npos &&
                          key.find_first_of(blanks) != 0 &&
                          key.find_last_of(blanks) != key.size() - 1;
    if (storable && ini.WriteString(key, value)) {
        std::string expected = value;
        for (char& c : expected) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        const size_t b = expected.find_first_not_of(blanks);
        const size_t e = expected.find_last_not_of(blanks);
        expected = b == std::string::npos ? "" : expected.substr(b, e - b + 1);
        if (ini.ReadString(key, "<missing>") != expected) std::abort();
    }
    return 0;
}
