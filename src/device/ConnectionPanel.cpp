#include "ConnectionPanel.h"

#include <cstdio>

#include "PortAccess.h"

namespace {

constexpr int kDefaultPortCount = 15;
// More entries than this is taken for a broken discovery, as is none.
constexpr int kMaxScannedPorts = 19;

const char* const kTarqFrequencies[] = {"0", "5", "15", "25", "35", "50"};
const char* const kModbusFrequencies[] = {"0", "10", "25", "50", "5", "15"};

std::string Decimal(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

}  // namespace

ConnectionPanel::ConnectionPanel(LinkState& state, DeviceLinkView& view, SettingsStore& store,
                                 CSerialPort& port, SerialOwner& owner, ReceivePath& path,
                                 Discover discover)
    : state_(state),
      view_(view),
      store_(store),
      port_(port),
      owner_(owner),
      path_(path),
      discover_(std::move(discover)) {
    port_.SetProtocolSelector([this] { return state_.protocol; });
}

uint32_t ConnectionPanel::PortNumberOf(const std::string& entry) {
    uint32_t n = 0;
    for (size_t i = 3; i < entry.size() && entry[i] >= '0' && entry[i] <= '9'; ++i) {
        n = n * 10 + static_cast<uint32_t>(entry[i] - '0');
        if (n > 100000) break;  // far beyond any port: Open refuses it
    }
    return n;
}

bool ConnectionPanel::ParseDeviceAddress(const std::string& text, uint8_t& address) {
    if (text.empty() || text.size() > 3) return false;
    unsigned value = 0;
    for (char c : text) {
        // The box takes digits only; anything else pasted in is no address.
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    address = static_cast<uint8_t>(value % 256);
    return true;
}

void ConnectionPanel::InsertPortEntry(int position, int portnr) {
    // COM numbers are the operator's names; the tip says which device one is.
    view_.InsertListEntry(ctl::kPortList, position, "COM" + Decimal(portnr));
    view_.SetListEntryTip(ctl::kPortList, position,
                          port_.DescribePort(static_cast<uint32_t>(portnr)));
}

void ConnectionPanel::FillLists() {
    view_.ClearList(ctl::kPortList);
    for (int n = 1; n <= kDefaultPortCount; ++n) InsertPortEntry(n - 1, n);
    view_.SelectListEntry(ctl::kPortList, 0);

    for (int list : {ctl::kBaudList, ctl::kDeviceBaudList}) {
        view_.ClearList(list);
        int position = 0;
        for (uint32_t baud : kBaudTable) view_.InsertListEntry(list, position++, Decimal(baud));
        view_.SelectListEntry(list, 2);
    }

    FillFrequencyList();

    for (int list : {ctl::kParityList, ctl::kDeviceParityList}) {
        view_.ClearList(list);
        int position = 0;
        for (char p : kParityTable) view_.InsertListEntry(list, position++, std::string(1, p));
    }
    view_.SelectListEntry(ctl::kParityList, 0);
    view_.SelectListEntry(ctl::kDeviceParityList, 2);

    // These lists report a refused entry, as the originals always did.
    auto fill = [this](int list, std::initializer_list<const char*> entries) {
        view_.ClearList(list);
        int position = 0;
        for (const char* e : entries) {
            if (!view_.InsertListEntry(list, position++, e))
                view_.ShowBox("Build baud error!", "Tiltscope", BoxIcon::None);
        }
        view_.SelectListEntry(list, 0);
    };
    fill(ctl::kDataBitsList, {"8"});
    fill(ctl::kStopBitsList, {"1"});
    fill(ctl::kProtocolList, {"Tarq_68", "Modbus"});
    fill(ctl::kModelList, {"Tiltscope"});

    view_.SetControlText(ctl::kNewAddress, "0");
    view_.SetControlText(ctl::kAddress, "0");
}

void ConnectionPanel::FillFrequencyList() {
    view_.ClearList(ctl::kFrequencyList);
    const char* const* entries =
        state_.protocol == kProtocolModbus ? kModbusFrequencies : kTarqFrequencies;
    for (int i = 0; i < 6; ++i) {
        if (!view_.InsertListEntry(ctl::kFrequencyList, i, entries[i]))
            view_.ShowBox("Build baud error!", "Tiltscope", BoxIcon::None);
    }
    view_.SelectListEntry(ctl::kFrequencyList, 0);
}

void ConnectionPanel::StartupScan() {
    const std::vector<int> ports = discover_ ? discover_() : std::vector<int>{};
    view_.ClearList(ctl::kPortList);
    int position = 0;
    for (int n : ports) InsertPortEntry(position++, n);
    view_.SelectListEntry(ctl::kPortList, 0);

    const int count = view_.ListCount(ctl::kPortList);
    if (count >= 1 && count <= kMaxScannedPorts) {
        const uint32_t configured = static_cast<uint32_t>(store_.ReadInt("COM", 1));
        for (int i = 0; i < count; ++i) {
            view_.SelectListEntry(ctl::kPortList, i);
            state_.portnr = PortNumberOf(view_.ListEntry(ctl::kPortList, i));
            if (state_.portnr == configured) {
                state_.autoOpenedIndex = i;
                OpenCloseToggle();
                return;
            }
        }
        return;
    }
    for (int n = 1; n <= kDefaultPortCount; ++n) InsertPortEntry(n - 1, n);
    view_.SelectListEntry(ctl::kPortList, 0);
}

void ConnectionPanel::TakeLineSettings() {
    const int port = view_.ListSelection(ctl::kPortList);
    if (port >= 0) state_.portnr = PortNumberOf(view_.ListEntry(ctl::kPortList, port));
    // A list without a selection keeps the last value rather than read past the table.
    const int baud = view_.ListSelection(ctl::kBaudList);
    if (baud >= 0 && baud < 7) state_.baud = kBaudTable[baud];
    if (state_.baud == 0) state_.baud = 9600;
    const int parity = view_.ListSelection(ctl::kParityList);
    if (parity >= 0 && parity < 3) state_.parity = kParityTable[parity];
}

void ConnectionPanel::SetLinkOpen(bool open) {
    state_.linkOpen = open;
    path_.SetLinkOpen(open);
}

void ConnectionPanel::ShowOpenFailed() {
    std::string text = view_.ResourceString(kStrPortOpenFailed);
    // "Permission denied" alone leaves the operator guessing what to do.
    if (IsPermissionError(port_.LastOpenError())) {
        text += "\n\n" + PortPermissionAdvice(LookUpPortOwnership(port_.DevicePath()),
                                              view_.ChineseSelected());
    }
    view_.ShowBox(text, "Message", BoxIcon::Exclamation);
}

bool ConnectionPanel::OpenPort() {
    LineSettings line;
    line.portnr = state_.portnr;
    line.baud = state_.baud;
    line.parity = state_.parity;
    line.dataBits = state_.dataBits;
    line.stopBits = state_.stopBits;
    if (!port_.Open(&owner_, line)) return false;
    port_.StartMonitor();
    return true;
}

bool ConnectionPanel::OpenCloseToggle() {
    TakeLineSettings();
    if (state_.linkOpen) {
        SetLinkOpen(false);
        port_.Close();
        view_.SetControlText(ctl::kOpen, view_.ResourceString(kStrOpen));
        return false;
    }
    if (OpenPort()) {
        SetLinkOpen(true);
        view_.SetControlText(ctl::kOpen, view_.ResourceString(kStrClose));
        return true;
    }
    if (!state_.startupUnconfirmed) ShowOpenFailed();
    return false;
}

void ConnectionPanel::ReopenIfOpen() {
    if (!state_.linkOpen) return;
    port_.Close();
    if (OpenPort()) return;
    SetLinkOpen(false);
    view_.SetControlText(ctl::kOpen, view_.ResourceString(kStrOpen));
    ShowOpenFailed();
}

void ConnectionPanel::ChangeLine() {
    if (state_.startupUnconfirmed) {
        state_.startupUnconfirmed = false;
        OpenCloseToggle();
    } else {
        ReopenIfOpen();
    }
}

void ConnectionPanel::OnPortSelected() {
    const int port = view_.ListSelection(ctl::kPortList);
    if (port >= 0) state_.portnr = PortNumberOf(view_.ListEntry(ctl::kPortList, port));
    ChangeLine();
}

void ConnectionPanel::OnParitySelected() {
    const int parity = view_.ListSelection(ctl::kParityList);
    if (parity >= 0 && parity < 3) state_.parity = kParityTable[parity];
    ChangeLine();
}

void ConnectionPanel::OnBaudSelected() {
    const int baud = view_.ListSelection(ctl::kBaudList);
    if (baud >= 0 && baud < 7) state_.baud = kBaudTable[baud];
    ChangeLine();
}

void ConnectionPanel::OnOpenClicked() {
    state_.startupUnconfirmed = false;
    OpenCloseToggle();
}

void ConnectionPanel::OnProtocolSelected() {
    const int position = view_.ListSelection(ctl::kProtocolList);
    store_.WriteInt("PROTOCOL", position);
    ApplyProtocol(position);
}

void ConnectionPanel::OnModelSelected() {
    const int position = view_.ListSelection(ctl::kModelList);
    if (position >= 0) view_.SetModelName(view_.ListEntry(ctl::kModelList, position));
}

void ConnectionPanel::SetDeviceAddress(uint8_t address) {
    state_.deviceAddress = address;
    path_.SetDeviceAddress(address);
}

void ConnectionPanel::ApplyProtocol(int position) {
    if (position == 1) {
        state_.protocol = kProtocolModbus;
        // Modbus has no address 0 (it is the broadcast address).
        if (state_.deviceAddress == 0) {
            SetDeviceAddress(1);
            view_.SetControlText(ctl::kAddress, "1");
        }
        view_.ShowControl(ctl::kSave, false);
        view_.ShowControl(ctl::kDeviceParityList, true);
        view_.ShowControl(ctl::kDeviceParityLabel, true);
        view_.ShowControl(ctl::kSetParity, true);
    } else {
        state_.protocol = kProtocolTarq;
        if (position == 0) {
            view_.ShowControl(ctl::kSave, true);
            view_.ShowControl(ctl::kDeviceParityList, false);
            view_.ShowControl(ctl::kDeviceParityLabel, false);
            view_.ShowControl(ctl::kSetParity, false);
        }
    }
    view_.ApplyProtocolToList();
}

void ConnectionPanel::ReadDeviceAddress() {
    const std::string text = view_.ControlText(ctl::kAddress);
    uint8_t address = state_.deviceAddress;
    if (ParseDeviceAddress(text, address)) SetDeviceAddress(address);
    store_.WriteString("ADDR", text);
}

void ConnectionPanel::AdoptDeviceAddress(uint8_t address, const std::string& boxText) {
    SetDeviceAddress(address);
    view_.SetControlText(ctl::kAddress, boxText);
    store_.WriteString("ADDR", boxText);
}

void ConnectionPanel::UseDeviceAddress(uint8_t address) {
    SetDeviceAddress(address);
}

void ConnectionPanel::UseLine(uint32_t baud, char parity) {
    if (state_.baud == baud && state_.parity == parity) return;
    state_.baud = baud;
    state_.parity = parity;
    ReopenIfOpen();
}

void ConnectionPanel::StoreLineChoice() {
    const int baud = view_.ListSelection(ctl::kBaudList);
    const int parity = view_.ListSelection(ctl::kParityList);
    if (baud >= 0) store_.WriteInt("BAUD", baud);
    if (parity >= 0) store_.WriteInt("PARITY", parity);
}
