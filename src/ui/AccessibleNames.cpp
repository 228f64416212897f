#include "AccessibleNames.h"

namespace {

enum class Rule {
    Beside,       // the caption of the label beside it
    SetBeside,    // "Set" buttons: what they set, after the label beside them
    ValueBeside,  // a value: the label beside it, then the value
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
    {1000, Rule::Fixed, 0, "Data curve", "数据曲线"},
    {1003, Rule::Beside, 1035, nullptr, nullptr},
    {1004, Rule::Beside, 1036, nullptr, nullptr},
    {1005, Rule::Beside, 1085, nullptr, nullptr},
    {1006, Rule::Beside, 1044, nullptr, nullptr},
    {1009, Rule::SetBeside, 1085, nullptr, nullptr},
    {1010, Rule::Beside, 1086, nullptr, nullptr},
    {1011, Rule::SetBeside, 1086, nullptr, nullptr},
    {1013, Rule::SetBeside, 1087, nullptr, nullptr},
    {1015, Rule::Fixed, 0, "Serial data", "串口数据"},
    {1017, Rule::Beside, 1037, nullptr, nullptr},
    {1018, Rule::Beside, 1002, nullptr, nullptr},
    {1019, Rule::Beside, 1039, nullptr, nullptr},
    {1020, Rule::Beside, 1046, nullptr, nullptr},
    {1021, Rule::SetBeside, 1095, nullptr, nullptr},
    {1022, Rule::ValueBeside, 1041, nullptr, nullptr},
    {1024, Rule::Beside, 1095, nullptr, nullptr},
    {1025, Rule::Beside, 1045, nullptr, nullptr},
    {1029, Rule::ValueBeside, 1042, nullptr, nullptr},
    {1030, Rule::ValueBeside, 1047, nullptr, nullptr},
    {1052, Rule::Fixed, 0, "Time span", "绘制长度"},
    {1058, Rule::Fixed, 0, "Maker's web site", "厂家网站"},
    {1062, Rule::Fixed, 0, "Parameters", "参数"},
    {1070, Rule::Fixed, 0, "Chart commands", "曲线工具栏"},
    {1072, Rule::Fixed, 0, "Time span", "绘制长度"},
    {1073, Rule::Fixed, 0, "CSV file name", "CSV文件名"},
    // The readouts show their own prefix ("xPos:...") in both languages.
    {1075, Rule::TextOrFixed, 0, "xPos", "xPos"},
    {1076, Rule::TextOrFixed, 0, "yPos", "yPos"},
    {1077, Rule::TextOrFixed, 0, "xDiff", "xDiff"},
    {1078, Rule::TextOrFixed, 0, "yDiff", "yDiff"},
    {1079, Rule::Beside, 1087, nullptr, nullptr},
    {1080, Rule::Beside, 1040, nullptr, nullptr},
    // The help marks, after the panel headings they sit in.
    {1088, Rule::Fixed, 0, "Help: Serial port", "帮助：串口设置"},
    {1089, Rule::Fixed, 0, "Help: Saving the settings", "帮助：保存设置"},
    {1090, Rule::Fixed, 0, "Help: Device", "帮助：设备设置"},
    {1091, Rule::Fixed, 0, "Help: Data saving", "帮助：数据保存"},
    {1092, Rule::Fixed, 0, "Help: Parameters", "帮助：参数"},
    {1093, Rule::Fixed, 0, "Help: Serial data", "帮助：串口数据"},
    {1094, Rule::Fixed, 0, "Help: Data curve", "帮助：数据曲线"},
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
