#pragma once

#include <vector>

// The main window's template: every control with its kind, captions and place in
// dialog units, for the English and the Chinese layout. Qt-free so that the
// layout rules and the artwork can be checked against it.

enum class ControlKind {
    Chart,
    PushButton,
    StaticText,
    DropDownList,
    Edit,
    TrafficPane,
    Slider,
    RadioButton,
    ListView,
    Placeholder,
};

enum ControlStyle : unsigned {
    kStyleNone = 0,
    kRightAligned = 1u << 0,
    kCentred = 1u << 1,
    kVCentred = 1u << 2,
    kNotify = 1u << 3,
    kDigitsOnly = 1u << 4,
    kFirstOfGroup = 1u << 5,
    kHScroll = 1u << 6,
};

struct DuRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ControlSpec {
    int id;
    ControlKind kind;
    const char* englishText;
    const char* chineseText;
    DuRect english;
    DuRect chinese;
    bool shown;
    unsigned style;
};

enum class Language { Chinese = 0, English = 1 };

// Template size in dialog units, both languages.
constexpr int kTemplateWidthDu = 680;
constexpr int kTemplateHeightDu = 330;

const std::vector<ControlSpec>& DialogControls();
const ControlSpec* FindControl(int id);

inline const char* ControlText(const ControlSpec& c, Language lang) {
    return lang == Language::Chinese ? c.chineseText : c.englishText;
}
inline const DuRect& ControlRect(const ControlSpec& c, Language lang) {
    return lang == Language::Chinese ? c.chinese : c.english;
}

// Identifiers of the device link's controls.
namespace ctl {
constexpr int kOpen = 1001;
constexpr int kPortList = 1003;
constexpr int kBaudList = 1004;
constexpr int kDeviceBaudList = 1005;
constexpr int kModelList = 1006;
constexpr int kSave = 1007;
constexpr int kSetBaud = 1009;
constexpr int kFrequencyList = 1010;
constexpr int kSetFrequency = 1011;
constexpr int kSetAddress = 1013;
constexpr int kTrafficPane = 1015;
constexpr int kParityList = 1017;
constexpr int kDataBitsList = 1018;
constexpr int kStopBitsList = 1019;
constexpr int kSetParity = 1021;
constexpr int kDeviceParityList = 1024;
constexpr int kProtocolList = 1025;
constexpr int kPolling = 1026;
constexpr int kSetZero = 1028;
constexpr int kClearZero = 1031;
constexpr int kChinese = 1056;
constexpr int kNewAddress = 1079;
constexpr int kAddress = 1080;
constexpr int kDeviceParityLabel = 1095;
}  // namespace ctl
