#include "ReviewMessages.h"

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ReviewTitle(const std::vector<std::string>& paths, Language language) {
    const bool cn = language == Language::Chinese;
    std::string title = cn ? "Tiltscope 记录查看" : "Tiltscope recording";
    if (paths.empty()) return title;
    title += " - " + BaseName(paths.front());
    if (paths.size() > 1) {
        const std::string more = std::to_string(paths.size() - 1);
        title += cn ? " 等 " + std::to_string(paths.size()) + " 个文件"
                    : " and " + more + (paths.size() == 2 ? " more file" : " more files");
    }
    return title;
}

std::string ReviewLoadingText(size_t files, Language language) {
    const std::string n = std::to_string(files);
    if (language == Language::Chinese) return "正在读取 " + n + " 个文件…";
    return "Reading " + n + (files == 1 ? " file…" : " files…");
}

std::string ReviewSummaryText(uint64_t rows, size_t sensors, uint64_t unreadableRows,
                              const std::vector<std::string>& problems, Language language) {
    const bool cn = language == Language::Chinese;
    std::string text;
    if (cn) {
        text = "已读取 " + std::to_string(rows) + " 行，" + std::to_string(sensors) + " 个传感器";
        text += "；" + std::to_string(unreadableRows) + " 行无法读取";
        if (!problems.empty()) text += "；无法读取的文件：";
    } else {
        text = std::to_string(rows) + (rows == 1 ? " row" : " rows") + " from " +
               std::to_string(sensors) + (sensors == 1 ? " sensor" : " sensors") + "; " +
               std::to_string(unreadableRows) +
               (unreadableRows == 1 ? " row could not be read" : " rows could not be read");
        if (!problems.empty()) text += "; files that could not be read:";
    }
    for (const std::string& p : problems) text += "\n" + p;
    return text;
}

std::string ReviewExportButtonText(Language language) {
    return language == Language::Chinese ? "导出可见范围" : "Export the visible range";
}

std::string ReviewTemperatureBoxText(Language language) {
    return language == Language::Chinese ? "温度 (°C)" : "Temperature (°C)";
}

std::string ReviewExportDialogTitle(Language language) {
    return language == Language::Chinese ? "导出可见范围的数据"
                                         : "Export the rows of the visible range";
}

std::string ReviewExportFailedText(const std::string& path, const std::string& reason,
                                   Language language) {
    if (language == Language::Chinese) return "无法导出到 " + path + "：" + reason;
    return "Cannot export to " + path + ": " + reason;
}

std::string ReviewExportDoneText(const std::string& path, Language language) {
    if (language == Language::Chinese) return "已导出到 " + path;
    return "Exported to " + path;
}

std::string ReviewOpenDialogTitle(Language language) {
    return language == Language::Chinese ? "打开记录" : "Open recordings";
}

std::string ReviewCsvFilter(Language language) {
    return language == Language::Chinese ? "CSV 记录 (*.csv)" : "CSV recordings (*.csv)";
}
