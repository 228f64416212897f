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

std::string LossReason(const LinkLoss& loss, bool chinese) {
    std::string text = Words(loss, chinese);
    if (loss.error != 0) text += " (" + SystemText(loss.error) + ")";
    return text;
}
