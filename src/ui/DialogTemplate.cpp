#include "DialogTemplate.h"

namespace {

using K = ControlKind;

constexpr DuRect R(int x, int y, int w, int h) {
    return DuRect{x, y, w, h};
}

// Where the Chinese layout keeps the English position, the row repeats it.
const std::vector<ControlSpec> kControls = {
    {1000, K::Chart, "", "", R(24, 111, 502, 143), R(24, 111, 502, 143), true, kStyleNone},
    {1001, K::PushButton, "Open", "打开", R(191, 66, 34, 12), R(191, 66, 34, 12), true, kStyleNone},
    {1002, K::StaticText, "Data bit :", "Data bit :", R(307, 4, 28, 8), R(307, 4, 28, 8), false,
     kStyleNone},
    {1003, K::DropDownList, "", "", R(121, 50, 39, 96), R(124, 50, 39, 96), true, kStyleNone},
    {1004, K::DropDownList, "", "", R(121, 66, 39, 12), R(124, 66, 39, 72), true, kStyleNone},
    {1005, K::DropDownList, "", "", R(472, 50, 33, 65), R(473, 49, 33, 65), true, kStyleNone},
    {1006, K::DropDownList, "", "", R(243, 16, 42, 12), R(243, 16, 42, 12), false, kStyleNone},
    {1007, K::PushButton, "Save", "保存", R(492, 66, 25, 12), R(493, 65, 25, 12), true, kStyleNone},
    {1008, K::PushButton, "Save", "开始", R(611, 66, 24, 12), R(604, 66, 24, 12), true, kStyleNone},
    {1009, K::PushButton, "Set", "Set", R(505, 50, 12, 12), R(506, 49, 12, 12), true, kStyleNone},
    {1010, K::DropDownList, "", "", R(391, 66, 33, 68), R(390, 65, 33, 89), true, kStyleNone},
    {1011, K::PushButton, "Set", "Set", R(424, 66, 12, 12), R(423, 65, 12, 12), true, kStyleNone},
    {1013, K::PushButton, "Set", "Set", R(424, 50, 12, 12), R(423, 49, 12, 14), true, kStyleNone},
    {1015, K::TrafficPane, "", "", R(531, 174, 126, 117), R(531, 174, 126, 117), true, kStyleNone},
    {1016, K::PushButton, "Browse", "浏览", R(548, 66, 26, 12), R(550, 66, 26, 12), true,
     kStyleNone},
    {1017, K::DropDownList, "", "", R(191, 50, 34, 35), R(191, 50, 34, 53), true, kStyleNone},
    {1018, K::DropDownList, "", "", R(338, 0, 38, 30), R(338, 0, 38, 30), false, kStyleNone},
    {1019, K::DropDownList, "", "", R(411, 0, 38, 30), R(411, 0, 38, 30), false, kStyleNone},
    {1020, K::DropDownList, "", "", R(324, 21, 45, 30), R(325, 16, 45, 30), false, kStyleNone},
    {1021, K::PushButton, "Set", "Set", R(505, 66, 12, 12), R(506, 65, 12, 12), false, kStyleNone},
    {1022, K::StaticText, "0", "0", R(89, 273, 31, 8), R(97, 273, 31, 8), true, kStyleNone},
    {1024, K::DropDownList, "", "", R(472, 66, 33, 40), R(473, 65, 33, 40), false, kStyleNone},
    {1025, K::DropDownList, "", "", R(55, 66, 41, 40), R(55, 66, 41, 40), true, kStyleNone},
    {1026, K::PushButton, "Disconnect", "断开", R(258, 67, 42, 12), R(255, 65, 44, 12), true,
     kStyleNone},
    {1028, K::PushButton, "Set zero", "设置零点", R(320, 51, 41, 12), R(319, 49, 44, 12), true,
     kStyleNone},
    {1029, K::StaticText, "0", "0", R(204, 273, 32, 8), R(204, 273, 32, 8), true, kStyleNone},
    {1030, K::StaticText, "0", "0", R(319, 273, 62, 8), R(319, 273, 62, 8), true, kStyleNone},
    {1031, K::PushButton, "Clc zero", "清除零点", R(320, 66, 41, 12), R(319, 65, 44, 12), true,
     kStyleNone},
    {1035, K::StaticText, "Com:", "端口:", R(101, 54, 17, 8), R(104, 53, 15, 8), true, kStyleNone},
    {1036, K::StaticText, "Baud:", "波特率:", R(101, 70, 20, 8), R(101, 70, 23, 8), true,
     kStyleNone},
    {1037, K::StaticText, "Parity:", "校验位:", R(168, 54, 22, 8), R(168, 53, 22, 8), true,
     kStyleNone},
    {1039, K::StaticText, "Stop bit :", "Stop bit :", R(381, 4, 28, 8), R(381, 4, 28, 8), false,
     kStyleNone},
    {1040, K::StaticText, "Addr:", "地址:", R(238, 54, 19, 8), R(236, 53, 15, 8), true, kStyleNone},
    {1041, K::StaticText, "Output:", "输出:", R(54, 273, 24, 8), R(51, 273, 33, 8), true,
     kRightAligned},
    {1042, K::StaticText, "Miscount：", "错误数:", R(156, 273, 40, 8), R(156, 273, 40, 8), true,
     kRightAligned},
    {1044, K::StaticText, "Model:", "型号:", R(215, 17, 23, 8), R(215, 17, 23, 8), false,
     kStyleNone},
    {1045, K::StaticText, "Protocol:", "协议:", R(55, 54, 28, 8), R(55, 53, 20, 8), true,
     kStyleNone},
    {1046, K::StaticText, "Mode:", "模式:", R(302, 23, 21, 8), R(306, 19, 15, 8), false,
     kStyleNone},
    {1047, K::StaticText, "Temperature:", "温度:", R(271, 273, 41, 8), R(271, 273, 41, 8), true,
     kRightAligned},
    {1052, K::Slider, "", "", R(447, 272, 45, 9), R(447, 272, 45, 9), true, kStyleNone},
    {1055, K::RadioButton, "English", "English", R(606, 25, 40, 8), R(611, 25, 37, 8), true,
     kStyleNone},
    {1056, K::RadioButton, "中文", "中文", R(565, 25, 35, 8), R(568, 25, 25, 8), true,
     kFirstOfGroup},
    {1058, K::StaticText, "", "", R(301, 315, 79, 11), R(303, 315, 79, 11), true, kCentred},
    {1062, K::ListView, "", "", R(530, 93, 125, 70), R(530, 93, 125, 68), true, kStyleNone},
    {1070, K::Placeholder, "", "", R(343, 97, 175, 11), R(343, 97, 175, 11), true, kStyleNone},
    {1072, K::StaticText, "Time span: -", "绘制长度: -", R(408, 273, 38, 8), R(408, 273, 38, 8),
     true, kStyleNone},
    {1073, K::Edit, "", "", R(539, 49, 105, 13), R(539, 49, 107, 13), true, kHScroll},
    {1074, K::StaticText, "+", "+", R(493, 273, 8, 8), R(493, 273, 8, 8), true, kStyleNone},
    {1075, K::StaticText, "", "", R(26, 102, 41, 8), R(26, 102, 41, 8), true, kVCentred},
    {1076, K::StaticText, "", "", R(73, 102, 38, 8), R(73, 102, 38, 8), true, kVCentred},
    {1077, K::StaticText, "", "", R(115, 102, 47, 8), R(115, 102, 47, 8), true, kVCentred},
    {1078, K::StaticText, "", "", R(170, 102, 53, 8), R(170, 102, 53, 8), true, kVCentred},
    {1079, K::Edit, "", "", R(390, 49, 35, 15), R(389, 48, 35, 16), true, kDigitsOnly},
    {1080, K::Edit, "", "", R(258, 50, 43, 15), R(254, 49, 45, 14), true, kDigitsOnly},
    {1085, K::StaticText, "Baud:", "波特率:", R(451, 54, 19, 8), R(449, 52, 22, 8), true,
     kStyleNone},
    {1086, K::StaticText, "Fre:", "频率:", R(375, 68, 14, 8), R(372, 69, 15, 8), true, kStyleNone},
    {1087, K::StaticText, "Addr:", "地址:", R(372, 54, 19, 8), R(372, 53, 15, 8), true, kStyleNone},
    {1088, K::StaticText, "", "", R(220, 38, 8, 8), R(220, 38, 8, 8), true, kNotify},
    {1089, K::StaticText, "", "", R(548, 38, 8, 8), R(548, 38, 8, 8), true, kNotify},
    {1090, K::StaticText, "", "", R(368, 38, 8, 8), R(370, 38, 8, 8), true, kNotify},
    {1091, K::StaticText, "", "", R(646, 38, 8, 8), R(646, 38, 8, 8), true, kNotify},
    {1092, K::StaticText, "", "", R(646, 85, 8, 8), R(646, 85, 8, 8), true, kNotify},
    {1093, K::StaticText, "", "", R(650, 165, 8, 8), R(650, 165, 8, 8), true, kNotify},
    {1094, K::StaticText, "", "", R(505, 85, 8, 8), R(518, 85, 8, 8), true, kNotify},
    {1095, K::StaticText, "Parity:", "校验位:", R(451, 70, 20, 8), R(447, 68, 22, 8), false,
     kStyleNone},
    // Beside the information row's heading tab, above its values.
    {ctl::kLinkHealth, K::StaticText, "Closed", "已关闭", R(112, 262, 408, 8), R(112, 262, 408, 8),
     true, kStyleNone},
};

}  // namespace

const std::vector<ControlSpec>& DialogControls() {
    return kControls;
}

const ControlSpec* FindControl(int id) {
    for (const ControlSpec& c : kControls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}
