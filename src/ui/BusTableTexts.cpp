#include "BusTableTexts.h"

namespace {

bool Chinese(Language language) {
    return language == Language::Chinese;
}

std::string CellValue(const std::string& value) {
    return value.empty() ? "-" : value;
}

// A value with its unit, or words saying none came: a screen reader reads "-"
// as nothing at all.
std::string Spoken(const std::string& name, const std::string& value, const std::string& unit,
                   Language language) {
    if (value.empty()) return name + (Chinese(language) ? " 未收到" : " not received");
    return name + " " + value + " " + unit;
}

}  // namespace

std::string BusTableTitle(Language language) {
    return Chinese(language) ? "总线上的传感器" : "Sensors on the bus";
}

std::vector<std::string> BusTableHeadings(Language language) {
    if (Chinese(language))
        return {"地址", "X(度)", "Y(度)", "温度(℃)", "速率(Hz)", "未应答", "状态"};
    return {"Address",  "X(deg)",     "Y(deg)", "Temperature(Celsius)",
            "Rate(Hz)", "Unanswered", "State"};
}

std::string BusTableStateText(BusTableRow::State state, Language language) {
    switch (state) {
        case BusTableRow::State::Answering:
            return Chinese(language) ? "应答中" : "answering";
        case BusTableRow::State::Silent:
            return Chinese(language) ? "无应答" : "silent";
        case BusTableRow::State::NotPolled:
            return Chinese(language) ? "未轮询" : "not polled";
        case BusTableRow::State::NeverAnswered:
            break;
    }
    return Chinese(language) ? "从未应答" : "never answered";
}

std::vector<std::string> BusTableCells(const BusTableRow& row, Language language) {
    return {std::to_string(row.address),
            CellValue(row.x),
            CellValue(row.y),
            CellValue(row.temperature),
            std::to_string(row.rate),
            std::to_string(row.unanswered),
            BusTableStateText(row.state, language)};
}

std::string BusTableRowSummary(const BusTableRow& row, Language language) {
    const std::string address = std::to_string(row.address);
    const std::string rate = std::to_string(row.rate);
    const std::string unanswered = std::to_string(row.unanswered);
    const std::string state = BusTableStateText(row.state, language);
    if (Chinese(language)) {
        return "地址 " + address + "：" + Spoken("X", row.x, "度", language) + "，" +
               Spoken("Y", row.y, "度", language) + "，" +
               Spoken("温度", row.temperature, "℃", language) + "，" + rate + " Hz，" + unanswered +
               " 次未应答，" + state;
    }
    const std::string temperature = row.temperature.empty()
                                        ? Spoken("temperature", "", "", language)
                                        : row.temperature + " Celsius";
    return "address " + address + ": " + Spoken("X", row.x, "deg", language) + ", " +
           Spoken("Y", row.y, "deg", language) + ", " + temperature + ", " + rate + " Hz, " +
           unanswered + " unanswered, " + state;
}

std::string BusTableNewsName(const std::string& news, Language language) {
    if (Chinese(language)) return "最新总线事件：" + (news.empty() ? std::string("无") : news);
    return "Latest bus event: " + (news.empty() ? std::string("none") : news);
}
