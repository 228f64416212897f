#include "FilePrefix.h"

bool FilePrefixAllowed(const std::string& prefix) {
    if (prefix.empty() || prefix.size() > kMaxFilePrefixBytes) return false;
    if (prefix == "." || prefix == ".." || prefix.find("..") != std::string::npos) return false;
    for (char c : prefix) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}
