#include "AccessibleNames.h"

namespace {

enum class Rule {
    Beside,       // the caption of the label beside it
    SetBeside,    // "Set" buttons: what they set, after the label beside them
    ValueBeside,  // a value: the label beside it, then the value
    OwnValue,     // a value: a name of its own, then the value
    TextOrFixed,  // its text while it shows one, else a name of its own
    Fixed,        // a name of its own
};

struct NameSpec {
    int id;
    Rule rule;
    int beside;
    const char* english;
    const char* chinese;
};

// Controls not listed are named by their own caption.
const NameSpec kNames[] = {
    {ctl::kChart, Rule::Fixed, 0, "Data curve", "数据曲线"},
    {ctl::kPortList, Rule::Beside, ctl::kPortLabel, nullptr, nullptr},
    {ctl::kBaudList, Rule::Beside, ctl::kBaudLabel, nullptr, nullptr},
    {ctl::kDeviceBaudList, Rule::Beside, ctl::kDeviceBaudLabel, nullptr, nullptr},
    {ctl::kModelList, Rule::Beside, ctl::kModelLabel, nullptr, nullptr},
    {ctl::kSetBaud, Rule::SetBeside, ctl::kDeviceBaudLabel, nullptr, nullptr},
    {ctl::kFrequencyList, Rule::Beside, ctl::kFrequencyLabel, nullptr, nullptr},
    {ctl::kSetFrequency, Rule::SetBeside, ctl::kFrequencyLabel, nullptr, nullptr},
    {ctl::kSetAddress, Rule::SetBeside, ctl::kNewAddressLabel, nullptr, nullptr},
    {ctl::kTrafficPane, Rule::Fixed, 0, "Serial data", "串口数据"},
    {ctl::kParityList, Rule::Beside, ctl::kParityLabel, nullptr, nullptr},
    {ctl::kDataBitsList, Rule::Beside, ctl::kDataBitsLabel, nullptr, nullptr},
    {ctl::kStopBitsList, Rule::Beside, ctl::kStopBitsLabel, nullptr, nullptr},
    {ctl::kModeList, Rule::Beside, ctl::kModeLabel, nullptr, nullptr},
    {ctl::kSetParity, Rule::SetBeside, ctl::kDeviceParityLabel, nullptr, nullptr},
    {ctl::kOutputRate, Rule::ValueBeside, ctl::kOutputRateLabel, nullptr, nullptr},
    {ctl::kDeviceParityList, Rule::Beside, ctl::kDeviceParityLabel, nullptr, nullptr},
    {ctl::kProtocolList, Rule::Beside, ctl::kProtocolLabel, nullptr, nullptr},
    {ctl::kMiscount, Rule::ValueBeside, ctl::kMiscountLabel, nullptr, nullptr},
    {ctl::kTemperature, Rule::ValueBeside, ctl::kTemperatureLabel, nullptr, nullptr},
    {ctl::kLinkHealth, Rule::OwnValue, 0, "Link", "连接状态"},
    {ctl::kTimeSpanSlider, Rule::Fixed, 0, "Time span", "绘制长度"},
    {ctl::kLogoArea, Rule::Fixed, 0, "Maker's web site", "厂家网站"},
    {ctl::kParameterList, Rule::Fixed, 0, "Parameters", "参数"},
    {ctl::kCommandBarPlace, Rule::Fixed, 0, "Chart commands", "曲线工具栏"},
    {ctl::kTimeSpanText, Rule::Fixed, 0, "Time span", "绘制长度"},
    {ctl::kCsvPath, Rule::Fixed, 0, "CSV file name", "CSV文件名"},
    // The readouts show their own prefix ("xPos:...") in both languages.
    {ctl::kCursorXPos, Rule::TextOrFixed, 0, "xPos", "xPos"},
    {ctl::kCursorYPos, Rule::TextOrFixed, 0, "yPos", "yPos"},
    {ctl::kCursorXDiff, Rule::TextOrFixed, 0, "xDiff", "xDiff"},
    {ctl::kCursorYDiff, Rule::TextOrFixed, 0, "yDiff", "yDiff"},
    {ctl::kNewAddress, Rule::Beside, ctl::kNewAddressLabel, nullptr, nullptr},
    {ctl::kAddress, Rule::Beside, ctl::kAddressLabel, nullptr, nullptr},
    // The help marks, after the panel headings they sit in.
    {ctl::kHelpConnection, Rule::Fixed, 0, "Help: Serial port", "帮助：串口设置"},
    {ctl::kHelpSettings, Rule::Fixed, 0, "Help: Saving the settings", "帮助：保存设置"},
    {ctl::kHelpAddress, Rule::Fixed, 0, "Help: Device", "帮助：设备设置"},
    {ctl::kHelpSaving, Rule::Fixed, 0, "Help: Data saving", "帮助：数据保存"},
    {ctl::kHelpParameters, Rule::Fixed, 0, "Help: Parameters", "帮助：参数"},
    {ctl::kHelpTraffic, Rule::Fixed, 0, "Help: Serial data", "帮助：串口数据"},
    {ctl::kHelpChart, Rule::Fixed, 0, "Help: Data curve", "帮助：数据曲线"},
};

const NameSpec* Find(int id) {
    for (const NameSpec& n : kNames) {
        if (n.id == id) return &n;
    }
    return nullptr;
}

std::string TemplateCaption(int id, Language lang) {
    const ControlSpec* spec = FindControl(id);
    return spec ? CaptionName(ControlText(*spec, lang)) : std::string();
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

std::string CaptionName(const std::string& caption) {
    std::string s = caption;
    const std::string fullWidthColon = "\xEF\xBC\x9A";  // "：", as in "Miscount："
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == ':')) {
            s.pop_back();
        } else if (EndsWith(s, fullWidthColon)) {
            s.resize(s.size() - fullWidthColon.size());
        } else {
            return s;
        }
    }
}

std::string AccessibleName(int id, const std::string& shownText, Language lang) {
    const NameSpec* n = Find(id);
    if (!n) return CaptionName(shownText);
    const char* fixed = lang == Language::Chinese ? n->chinese : n->english;
    const std::string own = fixed ? fixed : "";
    switch (n->rule) {
        case Rule::Beside:
            return TemplateCaption(n->beside, lang);
        case Rule::SetBeside:
            return (lang == Language::Chinese ? "设置" : "Set ") + TemplateCaption(n->beside, lang);
        case Rule::ValueBeside: {
            const std::string caption = TemplateCaption(n->beside, lang);
            return shownText.empty() ? caption : caption + ": " + shownText;
        }
        case Rule::OwnValue:
            return shownText.empty() ? own
                                     : own + (lang == Language::Chinese ? "：" : ": ") + shownText;
        case Rule::TextOrFixed:
            return shownText.empty() ? own : shownText;
        case Rule::Fixed:
            return own;
    }
    return own;
}

int CaptionLabelOf(int id) {
    const NameSpec* n = Find(id);
    return n && n->rule == Rule::Beside ? n->beside : 0;
}

std::string ChartCommandBarName(Language lang) {
    return AccessibleName(ctl::kCommandBarPlace, std::string(), lang);
}
