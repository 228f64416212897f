#include "RecordingMessages.h"

#include "SystemCalls.h"

namespace {

std::string MiB(uint64_t bytes) {
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

}  // namespace

std::string RecordingNewsText(const RecordingNews& news, Language language,
                              uint64_t heldLimitBytes) {
    const bool cn = language == Language::Chinese;
    const std::string& path = news.fault.path;
    const std::string reason = SystemText(news.fault.error);
    switch (news.event) {
        case RecordingEvent::CannotCreate:
            return cn ? "无法创建记录文件 " + path + "：" + reason + "。记录已停止。"
                      : "Cannot create the recording file " + path + ": " + reason +
                            ". Recording has stopped.";
        case RecordingEvent::CannotWrite:
            return cn ? "无法写入记录文件 " + path + "：" + reason +
                            "。数据暂存在内存中，文件可写时即写入；也可用“浏览”选择其他文件夹继续记"
                            "录。"
                      : "Cannot write the recording file " + path + ": " + reason +
                            ". The rows are kept in memory and written as soon as the file can "
                            "be written; choose another folder with Browse to go on there.";
        case RecordingEvent::DiskFull:
            return cn ? "磁盘已满，无法写入 " + path + "（" + reason +
                            "）。数据暂存在内存中，有空间时即写入。"
                      : "The disk is full: " + path + " takes no more rows (" + reason +
                            "). The rows are kept in memory and written as soon as there is "
                            "space.";
        case RecordingEvent::Dropping:
            return cn ? "内存中暂存的数据已达 " + MiB(heldLimitBytes) +
                            "：从现在起最早的数据将被丢弃，直到 " + path + " 可以写入。"
                      : "The rows kept in memory have reached " + MiB(heldLimitBytes) +
                            ": from now on the oldest are dropped until " + path +
                            " can be written.";
        case RecordingEvent::StillFailing:
        case RecordingEvent::WritingAgain:
            break;
    }
    return "";
}

std::string UnwrittenRowsText(uint64_t rows, const WriteFault& fault, Language language) {
    const std::string count = std::to_string(rows);
    const std::string reason = SystemText(fault.error);
    if (language == Language::Chinese)
        return count + " 行数据尚未写入 " + fault.path + "（" + reason +
               "）。重试写入，还是放弃这些数据？";
    return count + (rows == 1 ? " row has" : " rows have") + " not been written to " + fault.path +
           " (" + reason + "). Try again, or discard them?";
}

std::string RetryButtonText(Language language) {
    return language == Language::Chinese ? "重试" : "Try again";
}

std::string DiscardButtonText(Language language) {
    return language == Language::Chinese ? "放弃" : "Discard";
}

std::string QuitWhileRecordingText(Language language) {
    return language == Language::Chinese ? "正在记录数据。停止记录并退出吗？"
                                         : "Recording is in progress. Stop recording and quit?";
}

std::string YesButtonText(Language language) {
    return language == Language::Chinese ? "是" : "Yes";
}

std::string NoButtonText(Language language) {
    return language == Language::Chinese ? "否" : "No";
}

std::string RefusedModelText(const std::string& model, const std::string& used, Language language) {
    if (language == Language::Chinese)
        return "Config.ini 中的 MODEL=" + model +
               " 不能作为文件名的开头（不可含 /、.. 或控制字符），已使用 \"" + used + "\"。";
    return "MODEL=" + model +
           " in Config.ini cannot begin a file name (no /, .. or control characters); \"" + used +
           "\" is used.";
}
