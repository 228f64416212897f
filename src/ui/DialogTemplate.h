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

// Identifiers of the window's templates and of the controls the program drives.
constexpr int kMainDialogTemplate = 100;
constexpr int kToolbarTemplate = 187;
constexpr int kChartCommandBarId = 59392;

namespace ctl {
constexpr int kChart = 1000;
constexpr int kOpen = 1001;
constexpr int kDataBitsLabel = 1002;
constexpr int kPortList = 1003;
constexpr int kBaudList = 1004;
constexpr int kDeviceBaudList = 1005;
constexpr int kModelList = 1006;
constexpr int kSave = 1007;
constexpr int kRecord = 1008;
constexpr int kSetBaud = 1009;
constexpr int kFrequencyList = 1010;
constexpr int kSetFrequency = 1011;
constexpr int kSetAddress = 1013;
constexpr int kTrafficPane = 1015;
constexpr int kBrowse = 1016;
constexpr int kParityList = 1017;
constexpr int kDataBitsList = 1018;
constexpr int kStopBitsList = 1019;
constexpr int kModeList = 1020;
constexpr int kSetParity = 1021;
constexpr int kOutputRate = 1022;
constexpr int kDeviceParityList = 1024;
constexpr int kProtocolList = 1025;
constexpr int kPolling = 1026;
constexpr int kSetZero = 1028;
constexpr int kMiscount = 1029;
constexpr int kTemperature = 1030;
constexpr int kClearZero = 1031;
constexpr int kPortLabel = 1035;
constexpr int kBaudLabel = 1036;
constexpr int kParityLabel = 1037;
constexpr int kStopBitsLabel = 1039;
constexpr int kAddressLabel = 1040;
constexpr int kOutputRateLabel = 1041;
constexpr int kMiscountLabel = 1042;
constexpr int kModelLabel = 1044;
constexpr int kProtocolLabel = 1045;
constexpr int kModeLabel = 1046;
constexpr int kTemperatureLabel = 1047;
constexpr int kTimeSpanSlider = 1052;
constexpr int kEnglish = 1055;
constexpr int kChinese = 1056;
constexpr int kLogoArea = 1058;
constexpr int kParameterList = 1062;
constexpr int kCommandBarPlace = 1070;
constexpr int kTimeSpanText = 1072;
constexpr int kCsvPath = 1073;
constexpr int kCursorXPos = 1075;
constexpr int kCursorYPos = 1076;
constexpr int kCursorXDiff = 1077;
constexpr int kCursorYDiff = 1078;
constexpr int kNewAddress = 1079;
constexpr int kAddress = 1080;
constexpr int kDeviceBaudLabel = 1085;
constexpr int kFrequencyLabel = 1086;
constexpr int kNewAddressLabel = 1087;
constexpr int kHelpConnection = 1088;
constexpr int kHelpSettings = 1089;
constexpr int kHelpAddress = 1090;
constexpr int kHelpSaving = 1091;
constexpr int kHelpParameters = 1092;
constexpr int kHelpTraffic = 1093;
constexpr int kHelpChart = 1094;
constexpr int kDeviceParityLabel = 1095;
// The link's state, always in sight: a status line in the information row.
constexpr int kLinkHealth = 1098;
}  // namespace ctl

// The commands of the chart command bar.
namespace cmd {
constexpr int kStartDrawing = 32771;
constexpr int kStopDrawing = 32772;
constexpr int kCrossHair = 32773;
constexpr int kXAxisRuler = 32774;
constexpr int kAbscissa = 32775;
constexpr int kOrdinate = 32776;
constexpr int kXData = 32777;
constexpr int kYData = 32778;
constexpr int kYAxisRuler = 32780;
constexpr int kShowMouse = 32781;
constexpr int kGeneratePicture = 32782;
}  // namespace cmd

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
