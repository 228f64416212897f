#include "ConnectionPanel.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "AddressList.h"
#include "AddressText.h"
#include "Decimal.h"
#include "PortAccess.h"

namespace {

constexpr int kDefaultPortCount = 15;
// More entries than this is taken for a broken discovery, as is none.
constexpr int kMaxScannedPorts = 19;

const std::vector<std::string> kTarqFrequencies = {"0", "5", "15", "25", "35", "50"};
const std::vector<std::string> kModbusFrequencies = {"0", "10", "25", "50", "5", "15"};
// The lists open at 9600 baud.
constexpr int kDefaultBaudPosition = 2;

std::string Decimal(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

std::vector<std::string> BaudEntries() {
    std::vector<std::string> entries;
    for (uint32_t baud : kBaudTable) entries.push_back(Decimal(baud));
    return entries;
}

std::vector<std::string> ParityEntries() {
    std::vector<std::string> entries;
    for (char p : kParityTable) entries.emplace_back(1, p);
    return entries;
}

}  // namespace

ConnectionPanel::ConnectionPanel(LinkState& state, LinkView& view, SettingsStore& store,
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
    if (entry.size() <= 3) return 0;
    const std::string digits = entry.substr(3, entry.find_first_not_of("0123456789", 3) - 3);
    uint64_t n = 0;
    if (digits.empty()) return 0;
    // Far beyond any port: Open refuses it.
    if (!ParseDecimal(digits, UINT32_MAX, n)) return UINT32_MAX;
    return static_cast<uint32_t>(n);
}

bool ConnectionPanel::ParseDeviceAddress(const std::string& text, uint8_t& address) {
    unsigned value = 0;
    if (!ReadAddressDigits(text, value)) return false;
    address = static_cast<uint8_t>(value % 256);
    return true;
}

PortEntry ConnectionPanel::MakePortEntry(int portnr) const {
    // COM numbers are the operator's names; the tip says which device one is.
    return PortEntry{"COM" + Decimal(portnr), port_.DescribePort(static_cast<uint32_t>(portnr))};
}

std::vector<PortEntry> ConnectionPanel::DefaultPorts() const {
    std::vector<PortEntry> ports;
    for (int n = 1; n <= kDefaultPortCount; ++n) ports.push_back(MakePortEntry(n));
    return ports;
}

void ConnectionPanel::ShowPorts(std::vector<PortEntry> ports) {
    ports_ = std::move(ports);
    view_.ShowPorts(ports_);
    view_.ChoosePort(0);
}

void ConnectionPanel::ShowReportedChoices(LinkChoice choice,
                                          const std::vector<std::string>& entries) {
    // These lists report a refused entry, as the originals always did.
    const int refused = view_.ShowChoices(choice, entries);
    for (int i = 0; i < refused; ++i)
        view_.ShowBox("Build baud error!", "Tiltscope", BoxIcon::None);
    view_.Choose(choice, 0);
}

void ConnectionPanel::FillLists() {
    ShowPorts(DefaultPorts());

    for (LinkChoice list : {LinkChoice::LineBaud, LinkChoice::DeviceBaud}) {
        view_.ShowChoices(list, BaudEntries());
        view_.Choose(list, kDefaultBaudPosition);
    }

    FillFrequencyList();

    for (LinkChoice list : {LinkChoice::LineParity, LinkChoice::DeviceParity})
        view_.ShowChoices(list, ParityEntries());
    ShowLineParity(0);

    ShowReportedChoices(LinkChoice::DataBits, {"8"});
    ShowReportedChoices(LinkChoice::StopBits, {"1"});
    ShowReportedChoices(LinkChoice::Protocol, {"Tarq_68", "Modbus"});
    ShowReportedChoices(LinkChoice::Model, {"Tiltscope"});

    view_.ShowNewAddress("0");
    view_.ShowAddress("0");
}

void ConnectionPanel::FillFrequencyList() {
    ShowReportedChoices(LinkChoice::Frequency,
                        state_.protocol == kProtocolModbus ? kModbusFrequencies : kTarqFrequencies);
}

void ConnectionPanel::StartupScan() {
    const std::vector<int> discovered = discover_ ? discover_() : std::vector<int>{};
    std::vector<PortEntry> ports;
    for (int n : discovered) ports.push_back(MakePortEntry(n));
    ShowPorts(std::move(ports));

    const int count = static_cast<int>(ports_.size());
    if (count >= 1 && count <= kMaxScannedPorts) {
        const uint32_t configured = static_cast<uint32_t>(store_.ReadInt("COM", 1));
        for (int i = 0; i < count; ++i) {
            view_.ChoosePort(i);
            state_.portnr = PortNumberOf(ports_[static_cast<size_t>(i)].text);
            if (state_.portnr == configured) {
                state_.autoOpenedIndex = i;
                OpenCloseToggle();
                return;
            }
        }
        return;
    }
    // No discovery, or one that cannot be right: the defaults go ahead of what it found.
    std::vector<PortEntry> fallback = DefaultPorts();
    fallback.insert(fallback.end(), ports_.begin(), ports_.end());
    ShowPorts(std::move(fallback));
}

void ConnectionPanel::TakeChosenPort() {
    const int port = view_.ChosenPort();
    if (port >= 0 && port < static_cast<int>(ports_.size()))
        state_.portnr = PortNumberOf(ports_[static_cast<size_t>(port)].text);
}

void ConnectionPanel::TakeChosenBaud() {
    const int baud = view_.Chosen(LinkChoice::LineBaud);
    if (baud >= 0 && baud < kBaudCount) state_.baud = kBaudTable[baud];
}

void ConnectionPanel::TakeChosenParity() {
    const int parity = view_.Chosen(LinkChoice::LineParity);
    if (parity >= 0 && parity < kParityCount) state_.parity = kParityTable[parity];
}

void ConnectionPanel::TakeLineSettings() {
    TakeChosenPort();
    TakeChosenBaud();
    if (state_.baud == 0) state_.baud = 9600;
    TakeChosenParity();
}

void ConnectionPanel::SetLinkOpen(bool open) {
    state_.linkOpen = open;
    path_.SetLinkOpen(open);
    if (linkListener_) linkListener_(open);
}

void ConnectionPanel::ShowOpenFailed() {
    std::string text = view_.Text(LinkText::PortOpenFailed);
    // "Permission denied" alone leaves the operator guessing what to do.
    const std::string& note = port_.OpenFailureNote();
    if (!note.empty()) {
        // A view whose text gives the reason already has it.
        if (text.find(note) == std::string::npos) text += "\n\n" + note;
    } else if (IsPermissionError(port_.LastOpenError())) {
        text += "\n\n" + PortPermissionAdvice(LookUpPortOwnership(port_.DevicePath()),
                                              view_.ChineseSelected());
    }
    view_.ShowBox(text, "Message", BoxIcon::Exclamation);
}

LineSettings ConnectionPanel::Line() const {
    LineSettings line;
    line.portnr = state_.portnr;
    line.baud = state_.baud;
    line.parity = state_.parity;
    line.dataBits = state_.dataBits;
    line.stopBits = state_.stopBits;
    return line;
}

bool ConnectionPanel::OpenPort() {
    if (!port_.Open(&owner_, Line())) return false;
    port_.StartMonitor();
    return true;
}

bool ConnectionPanel::OpenCloseToggle() {
    TakeLineSettings();
    if (state_.linkOpen) {
        CloseLink();
        return false;
    }
    if (OpenPort()) {
        SetLinkOpen(true);
        view_.ShowLinkOpen(true);
        return true;
    }
    if (!state_.startupUnconfirmed) ShowOpenFailed();
    return false;
}

void ConnectionPanel::CloseLink() {
    if (!state_.linkOpen) return;
    SetLinkOpen(false);
    port_.Close();
    view_.ShowLinkOpen(false);
}

bool ConnectionPanel::OpenQuietly() {
    if (state_.linkOpen) return true;
    if (!OpenPort()) return false;
    SetLinkOpen(true);
    view_.ShowLinkOpen(true);
    return true;
}

void ConnectionPanel::ReopenIfOpen() {
    if (!state_.linkOpen) return;
    if (port_.ChangeLineInPlace(Line())) {
        SetLinkOpen(true);  // as after a reopen: what it did before tells nothing
        return;
    }
    port_.Close();
    if (OpenPort()) {
        SetLinkOpen(true);  // a line at new settings: what it did before tells nothing
        return;
    }
    SetLinkOpen(false);
    view_.ShowLinkOpen(false);
    ShowOpenFailed();
}

void ConnectionPanel::ChangeLine() {
    if (state_.startupUnconfirmed) {
        state_.startupUnconfirmed = false;
        OpenCloseToggle();
    } else {
        ReopenIfOpen();
    }
    AwaitLineReply();
}

void ConnectionPanel::AwaitLineReply() {
    lineAwaitsReply_ = state_.linkOpen;
    repliesBeforeLine_ = path_.Replies();
}

void ConnectionPanel::ConfirmLineChoice() {
    if (!lineAwaitsReply_ || !state_.linkOpen || path_.Replies() == repliesBeforeLine_) return;
    lineAwaitsReply_ = false;
    store_.WriteInt("COM", static_cast<int>(state_.portnr));
    StoreLineChoice();
}

void ConnectionPanel::ShowLineParity(int position) {
    view_.Choose(LinkChoice::LineParity, position);
    FollowLineParity();
}

void ConnectionPanel::FollowLineParity() {
    const int line = view_.Chosen(LinkChoice::LineParity);
    if (!deviceParityPicked_ && line >= 0) view_.Choose(LinkChoice::DeviceParity, line);
}

void ConnectionPanel::OnPortSelected() {
    TakeChosenPort();
    ChangeLine();
}

void ConnectionPanel::OnParitySelected() {
    TakeChosenParity();
    FollowLineParity();
    ChangeLine();
}

void ConnectionPanel::OnBaudSelected() {
    TakeChosenBaud();
    ChangeLine();
}

void ConnectionPanel::OnOpenClicked() {
    state_.startupUnconfirmed = false;
    OpenCloseToggle();
    AwaitLineReply();
}

void ConnectionPanel::OnProtocolSelected() {
    const int position = view_.Chosen(LinkChoice::Protocol);
    store_.WriteInt("PROTOCOL", position);
    ApplyProtocol(position);
    FillFrequencyList();
}

void ConnectionPanel::OnModelSelected() {
    if (view_.Chosen(LinkChoice::Model) >= 0)
        view_.SetModelName(view_.ChoiceText(LinkChoice::Model));
}

void ConnectionPanel::OnDeviceParitySelected() {
    deviceParityPicked_ = true;
}

void ConnectionPanel::SetDeviceAddress(uint8_t address) {
    state_.deviceAddress = address;
    path_.SetDeviceAddress(address);
}

void ConnectionPanel::ApplyProtocol(int position) {
    if (position == kProtocolModbus) {
        state_.protocol = kProtocolModbus;
        // Modbus has no address 0 (it is the broadcast address). The box holds
        // the address to use, also when it has not been taken yet (at start, from
        // the file): a stored address stays.
        if (LooksLikeAddressList(view_.AddressText())) {
            // A bus keeps its list; one holding 0 is refused, not rewritten.
            ReadDeviceAddress();
        } else {
            uint8_t address = state_.deviceAddress;
            ParseDeviceAddress(view_.AddressText(), address);
            if (address == 0) {
                address = 1;
                view_.ShowAddress("1");
            }
            SetDeviceAddress(address);
        }
        view_.ShowSaveCommand(false);
        view_.ShowParityCommand(true);
    } else {
        state_.protocol = kProtocolTarq;
        if (position == kProtocolTarq) {
            view_.ShowSaveCommand(true);
            view_.ShowParityCommand(false);
        }
    }
    view_.ApplyProtocolToList();
}

void ConnectionPanel::ReadDeviceAddress() {
    const std::string text = view_.AddressText();
    if (LooksLikeAddressList(text)) {
        ReadAddressList(text);
        return;
    }
    refusedList_.clear();
    state_.busAddresses.clear();
    uint8_t address = state_.deviceAddress;
    if (ParseDeviceAddress(text, address)) SetDeviceAddress(address);
    store_.WriteString("ADDR", text);
}

void ConnectionPanel::ReadAddressList(const std::string& text) {
    std::vector<uint8_t> list;
    std::string error;
    if (ParseAddressList(text, list, error)) error = BusAddressFault(list, state_.protocol);
    if (!error.empty()) {
        // The addresses polled stay as they were. Enter and leaving the box
        // both read it: the box comes once for each text typed.
        if (std::exchange(refusedList_, text) != text)
            view_.ShowBox(view_.ChineseSelected()
                              ? "地址列表无法使用：" + text +
                                    "。请输入一个地址，或如 1-3,7 的地址列表（" + error + "）。"
                              : "The address list cannot be used: " + error +
                                    ". Enter one address, or a list such as 1-3,7.",
                          "Warning", BoxIcon::Exclamation);
        return;
    }
    refusedList_.clear();
    store_.WriteString("ADDR", text);
    if (list.size() == 1) {
        state_.busAddresses.clear();
        SetDeviceAddress(list.front());
        return;
    }
    // The sensor selected stays selected while it is on the list.
    const bool kept = !state_.busAddresses.empty() &&
                      std::find(list.begin(), list.end(), state_.deviceAddress) != list.end();
    state_.busAddresses = list;
    SetDeviceAddress(kept ? state_.deviceAddress : list.front());
}

void ConnectionPanel::AdoptDeviceAddress(uint8_t address, const std::string& boxText,
                                         uint8_t from) {
    SetDeviceAddress(address);
    std::string shown = boxText;
    if (!state_.busAddresses.empty()) {
        std::replace(state_.busAddresses.begin(), state_.busAddresses.end(), from, address);
        shown = AddressListText(state_.busAddresses);
    }
    view_.ShowAddress(shown);
    store_.WriteString("ADDR", shown);
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

void ConnectionPanel::TakeLine(const LineSettings& line) {
    state_.portnr = line.portnr;
    state_.baud = line.baud;
    state_.parity = line.parity;
    state_.dataBits = line.dataBits;
    state_.stopBits = line.stopBits;
}

void ConnectionPanel::StoreLineChoice() {
    const int baud = view_.Chosen(LinkChoice::LineBaud);
    const int parity = view_.Chosen(LinkChoice::LineParity);
    if (baud >= 0) store_.WriteInt("BAUD", baud);
    if (parity >= 0) store_.WriteInt("PARITY", parity);
}
