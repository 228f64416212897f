#include "StringTable.h"

namespace {

struct StringEntry {
    int id;
    const char* english;
    const char* chinese;
};

const StringEntry kStrings[] = {
    {102, "Serial port open failed", "串口打开失败"},
    {103, "Open", "打开"},
    {104, "Close", "关闭"},
    {105, "Start", "开始"},
    {106, "Stop", "停止"},
    {107,
     "First, please select the corresponding serial port configuration parameters, and then "
     "click the OPEN button to connect data.",
     "选择连接设备的端口、波特率及校验位"},
    {108, "Select equipment addr, output mode and protocol used.",
     "选择设备地址、输出模式及所用协议"},
    {109,
     "Make changes to the device configuration, click the SAVE button after setting, and then "
     "power off and power cycle. please remember the configuration parameters after you changed!",
     "设置设备地址、波特率、输出频率（依据当前输出模式）等参数，设置结束请保存"},
    {110, "Save the data selection and select the corresponding save directory.",
     "选择保存目录，点击开始即可保存数据"},
    {111, "Data display area, can switch different pages", "数据曲线绘制区"},
    {112, "Parameter setting and value of output data", "输出数据参数设置及数值"},
    {113, "Serial data printing", "串口数据打印"},
    {114, "Answer-output", "问答输出"},
    {115, "Auto-output", "自动输出"},
    {116, "Set rang", "设置量程"},
    {117, "Set P.R.", "设置分辨率"},
    {118, "Value", "数据值"},
    {119, "Generate picture", "截图"},
    {120, "Status", "Status"},
    {121, "Start drawing", "开始绘制"},
    {122, "Stop drawing", "停止绘制"},
    {123, "Show mouse", "显示鼠标"},
    {124, "Enable cross-hair cursor", "显示十字光标"},
    {125, "Enable X-axis ruler", "启用X轴卡尺"},
    {126, "Enable Y-axis ruler", "启用Y轴卡尺"},
    {127, "Enable abscissa axis", "启用横坐标轴"},
    {128, "Enable ordinates axis", "启用纵坐标轴"},
    {129, "Hide X data", "关闭X轴数据"},
    {130, "Hide Y data", "关闭Y轴数据"},
    {131, "Disable cross-hair cursor", "关闭十字光标"},
    {132, "Disable X-axis ruler", "关闭X轴卡尺"},
    {133, "Disable Y-axis ruler", "关闭Y轴卡尺"},
    {134, "Disable abscissa axis", "关闭横坐标轴"},
    {135, "Disable ordinates axis", "关闭纵坐标轴"},
    {136, "Show X data", "显示X轴数据"},
    {137, "Show Y data", "显示Y轴数据"},
    {138, "operate successfully!!", "操作成功!!"},
    {139, "Connect", "连接"},
    {140, "Disconnect", "断开"},
    {141, "Scanning", "扫描中"},
};

}  // namespace

const char* LoadResourceString(int id, Language lang) {
    for (const StringEntry& s : kStrings) {
        if (s.id == id) return lang == Language::Chinese ? s.chinese : s.english;
    }
    return "";
}
