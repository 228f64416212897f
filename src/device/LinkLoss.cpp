#include "LinkLoss.h"

#include <cerrno>

#include "SystemCalls.h"

namespace {

const char* Words(const LinkLoss& loss, bool chinese) {
    if (loss.server) {
        if (loss.error == 0)
            return chinese ? "服务器关闭了连接" : "the server closed the connection";
        if (loss.error == ECONNRESET)
            return chinese ? "服务器重置了连接" : "the server reset the connection";
        return chinese ? "与服务器的连接中断" : "the connection to the server failed";
    }
    // A pulled adapter fails with EIO as often as with ENODEV; its name going is what tells.
    if (loss.removed || loss.error == ENODEV || loss.error == ENXIO || loss.error == ENOENT)
        return chinese ? "设备已被移除" : "the device was removed";
    if (loss.error == EIO) return chinese ? "线路已挂断" : "the line hung up";
    return chinese ? "线路出错" : "the line failed";
}

}  // namespace

std::string ServerWords(const std::vector<uint8_t>& tail) {
    // Measurements are binary, if often printable by chance: a line of text at
    // the very end, with words in it, is the server talking.
    if (tail.empty() || (tail.back() != '\n' && tail.back() != '\r')) return "";
    size_t start = tail.size();
    while (start > 0) {
        const uint8_t c = tail[start - 1];
        if ((c < 0x20 || c > 0x7E) && c != '\r' && c != '\n' && c != '\t') break;
        --start;
    }
    std::string text(tail.begin() + static_cast<std::ptrdiff_t>(start), tail.end());
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    size_t letters = 0;
    for (char c : text) letters += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return letters >= 4 && text.find(' ') != std::string::npos ? text : "";
}

std::string LossReason(const LinkLoss& loss, bool chinese) {
    std::string text = Words(loss, chinese);
    if (loss.error != 0) text += " (" + SystemText(loss.error) + ")";
    if (!loss.words.empty())
        text += (chinese ? "：“" : ": \"") + loss.words + (chinese ? "”" : "\"");
    return text;
}
