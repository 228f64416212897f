#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the connection panel, the acquisition cycle and the settings commands
// need of the main window. The window realises it on its widgets; tests use a
// recording fake. Controls are addressed by their identifiers.

enum class BoxIcon { None, Exclamation, Error };

// Resource strings the device link shows, in the language chosen at start.
enum DeviceLinkString {
    kStrPortOpenFailed = 102,
    kStrOpen = 103,
    kStrClose = 104,
    kStrOperateSuccessfully = 138,
    kStrConnect = 139,
    kStrDisconnect = 140,
};

class DeviceLinkView {
public:
    virtual ~DeviceLinkView() = default;

    // Drop-down lists.
    virtual void ClearList(int id) = 0;
    // False when the list refuses the entry.
    virtual bool InsertListEntry(int id, int position, const std::string& text) = 0;
    // The text shown when the pointer rests on an entry.
    virtual void SetListEntryTip(int id, int position, const std::string& tip) = 0;
    virtual int ListCount(int id) const = 0;
    virtual std::string ListEntry(int id, int position) const = 0;
    // -1 when nothing is selected.
    virtual int ListSelection(int id) const = 0;
    // Selects without running the list's selection handler; -1 clears it.
    virtual void SelectListEntry(int id, int position) = 0;
    // The text shown in a list's edit part (its selected entry, or typed text).
    virtual std::string ListText(int id) const = 0;

    // Edit fields and button captions.
    virtual std::string ControlText(int id) const = 0;
    virtual void SetControlText(int id, const std::string& text) = 0;
    // The flicker-free label writer: repaints only on change.
    virtual void SetLabelText(int id, const std::string& text) = 0;
    virtual void ShowControl(int id, bool shown) = 0;

    // Texts composed at run time follow the 中文 button at the moment of use.
    virtual bool ChineseSelected() const = 0;
    virtual std::string ResourceString(int id) const = 0;
    virtual void ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) = 0;

    // Window timers 0..3.
    virtual void StartTimer(int id, int periodMs, bool singleShot) = 0;
    virtual void StopTimer(int id) = 0;

    // Queues MSG_OP_CONFIRMED: the handler runs after the current message.
    virtual void PostOpConfirmed() = 0;

    // The traffic pane.
    virtual int TrafficPaneLength() const = 0;
    virtual void ReplaceTrafficPane(const std::string& text) = 0;
    virtual void AppendTrafficPane(const std::string& text) = 0;

    // Hooks for the parts that follow the protocol and the model.
    virtual void ApplyProtocolToList() = 0;
    virtual void SetModelName(const std::string& name) = 0;
    // The once-a-second display refresh that precedes the traffic flush.
    virtual void ReadoutTick() = 0;
};

// The settings keys the device link reads and writes.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int ReadInt(const std::string& key, int fallback) const = 0;
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
};

// Control identifiers of the device link's controls.
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
constexpr int kNewAddress = 1079;
constexpr int kAddress = 1080;
constexpr int kDeviceParityLabel = 1095;
}  // namespace ctl

// The line parameters and link state the panel keeps and the others read.
struct LinkState {
    bool linkOpen = false;
    uint32_t portnr = 0;
    uint32_t baud = 0;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 0;
    uint8_t deviceAddress = 0;
    int protocol = 0;  // 0 "Tarq_68", 1 "Modbus"
    bool startupUnconfirmed = true;
    int autoOpenedIndex = 0;
    bool pollingOn = false;
};

constexpr uint32_t kBaudTable[] = {2400, 4800, 9600, 19200, 38400, 115200, 230400};
constexpr char kParityTable[] = {'N', 'O', 'E'};
