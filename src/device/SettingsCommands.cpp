#include "SettingsCommands.h"

#include <algorithm>
#include <cstdlib>

#include "AddressText.h"
#include "ConnectionPanel.h"
#include "ModbusProtocol.h"
#include "TarqProtocol.h"

namespace {

constexpr int kTimeoutMs = 1000;
constexpr int kTurns = 3;

}  // namespace

SettingsCommands::SettingsCommands(LinkState& state, LinkView& view, ConnectionPanel& panel,
                                   Transmit transmit)
    : state_(state), view_(view), panel_(panel), transmit_(std::move(transmit)) {}

int SettingsCommands::ModbusBaudCode(int position) {
    switch (position) {
        case 1:
            return 0xA0;  // 4800
        case 2:
            return 0xA1;  // 9600
        case 3:
            return 0xA2;  // 19200
        case 4:
            return 0xA3;  // 38400
        case 5:
            return 0xA4;  // 115200
        default:
            return -1;  // 2400 and 230400 have no code
    }
}

void SettingsCommands::Begin(const char* english, const char* chinese) {
    name_ = view_.ChineseSelected() ? chinese : english;
    // Started before the inputs are looked at: a command that then sends nothing
    // still ends with the time-out box.
    view_.StartTimer(LinkTimer::Settings, kTimeoutMs, true);
}

void SettingsCommands::Register(Kind kind) {
    countdown_ = kTurns;
    kind_ = kind;
    protocol_ = state_.protocol;
    follow_ = Follow::None;  // a new command overwrites an unfinished one
    // A Modbus write is confirmed by the echo of its repetition.
    awaited_ = Modbus() ? 2 : 1;
}

void SettingsCommands::ResetMachinery() {
    countdown_ = kTurns;
    awaited_ = 0;
    kind_ = kNone;
    follow_ = Follow::None;
}

void SettingsCommands::EndWithBox(const std::string& text, const std::string& caption,
                                  BoxIcon icon) {
    // The command ends here: its time-out would be a second box for one click.
    view_.StopTimer(LinkTimer::Settings);
    name_.clear();
    view_.ShowBox(text, caption, icon);
}

bool SettingsCommands::RefuseBroadcast() {
    if (!Modbus() || state_.deviceAddress != 0) return false;
    EndWithBox(view_.ChineseSelected()
                   ? "地址 0 是 Modbus "
                     "广播地址：总线上的每个传感器都会执行此设置。请输入传感器自己的地址。"
                   : "Address 0 is the Modbus broadcast address: every sensor on the bus would "
                     "take this setting. Enter the sensor's own address.",
               "Warning", BoxIcon::Exclamation);
    return true;
}

bool SettingsCommands::RefuseSharedLine() {
    if (state_.busAddresses.size() < 2) return false;
    EndWithBox(view_.ChineseSelected()
                   ? "总线上的传感器共用同一线路的波特率和校验位：只改一个传感器，它将无法再联系。"
                     "请让它单独接在线路上再设置。"
                   : "The sensors on a bus share the line's baud rate and parity: one sensor "
                     "changed alone could no longer be reached. Set it with it alone on the line.",
               "Warning", BoxIcon::Exclamation);
    return true;
}

bool SettingsCommands::RefuseTakenAddress(unsigned address) {
    const std::vector<uint8_t>& bus = state_.busAddresses;
    if (address == state_.deviceAddress || std::find(bus.begin(), bus.end(), address) == bus.end())
        return false;
    const std::string a = std::to_string(address);
    EndWithBox(
        view_.ChineseSelected()
            ? "地址 " + a + " 已有总线上的另一个传感器在用：两个传感器将同时应答。请选择其他地址。"
            : "Address " + a +
                  " is already another sensor's on this bus: both would "
                  "answer. Choose another address.",
        "Warning", BoxIcon::Exclamation);
    return true;
}

bool SettingsCommands::RefuseFixedLine() {
    if (!panel_.LineFixedByConverter()) return false;
    EndWithBox(
        view_.ChineseSelected()
            ? "此端口经网络上的转换器连接传感器，转换器自己的串口不会随传感器改变波特率或校验位，"
              "传感器将无法再联系。请先在转换器的设置中把它的串口改成相同的值，再到这里设置；"
              "或者在转换器支持时改用 rfc2217:// 地址。"
            : "This port reaches the sensor through a converter on the network, whose own "
              "serial port does not follow the sensor's baud rate or parity: the sensor "
              "would be lost. Change the converter's port to match in its own settings, "
              "or use an rfc2217:// address where the converter offers it.",
        "Warning", BoxIcon::Exclamation);
    return true;
}

bool SettingsCommands::ChangesLine(int kind) const {
    return Modbus() && (kind == kAddress || kind == kBaud || kind == kParity);
}

void SettingsCommands::BeginFollow(const Setting& next) {
    old_ = Setting{state_.deviceAddress, state_.baud, state_.parity};
    new_ = next;
    follow_ = Follow::AwaitEcho;
}

void SettingsCommands::Use(const Setting& setting) {
    panel_.UseDeviceAddress(setting.address);
    panel_.UseLine(setting.baud, setting.parity);
}

void SettingsCommands::SendRead() {
    const std::vector<uint8_t> frame =
        BuildModbusRead(state_.deviceAddress, state_.modbusRegisters);
    transmit_(frame.data(), frame.size());
}

void SettingsCommands::Confirm() {
    awaited_ = 0;
    view_.StopTimer(LinkTimer::Settings);
    view_.PostOpConfirmed();
}

std::string SettingsCommands::MayNowBeAt() const {
    const bool chinese = view_.ChineseSelected();
    switch (kind_) {
        case kAddress:
            return (chinese ? "传感器现在可能在地址 " : ": the sensor may now be at address ") +
                   std::to_string(new_.address);
        case kBaud:
            return chinese ? "传感器现在可能在 " + std::to_string(new_.baud) + " 波特率"
                           : ": the sensor may now be at " + std::to_string(new_.baud) + " baud";
        case kParity:
            return (chinese ? "传感器现在可能在校验位 " : ": the sensor may now be at parity ") +
                   std::string(1, new_.parity);
        default:
            return "";
    }
}

void SettingsCommands::SendTarq(Kind kind) {
    const uint8_t address = state_.deviceAddress;
    std::vector<uint8_t> frame;
    switch (kind) {
        case kSave:
            frame = BuildTarqFrame(kTarqSaveSettings, address);
            break;
        case kBaud:
            frame = BuildTarqFrame(kTarqSetBaud, address, value_);
            break;
        case kAddress:
            // Address 0 goes to the broadcast address: the sensor may sit at any.
            frame = value_ == 0 ? BuildTarqFrame(kTarqSetAddressZero, 0xFF, 0)
                                : BuildTarqFrame(kTarqSetAddress, address, value_);
            break;
        case kFrequency:
            frame = BuildTarqFrame(kTarqSetFrequency, address, value_);
            break;
        case kZero:
            frame = BuildTarqFrame(kTarqSetZero, address, value_);
            break;
        default:
            return;
    }
    transmit_(frame.data(), frame.size());
}

void SettingsCommands::SendModbus(Kind kind) {
    uint8_t reg = 0;
    switch (kind) {
        case kBaud:
            reg = kModbusRegBaud;
            break;
        case kAddress:
            if (value_ == 0 || value_ == 255) return;
            reg = kModbusRegAddress;
            break;
        case kParity:
            reg = kModbusRegParity;
            break;
        case kFrequency:
            reg = kModbusRegFrequency;
            break;
        case kZero:
            reg = kModbusRegZero;
            break;
        default:
            return;
    }
    const std::vector<uint8_t> frame = BuildModbusWrite(state_.deviceAddress, reg, value_);
    transmit_(frame.data(), frame.size());
}

void SettingsCommands::Send(Kind kind) {
    if (Modbus())
        SendModbus(kind);
    else
        SendTarq(kind);
}

void SettingsCommands::OnSetBaud() {
    Begin("Set Baud", "设置波特率");
    if (RefuseFixedLine() || RefuseSharedLine()) return;
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    const int position = view_.Chosen(LinkChoice::DeviceBaud);
    if (position < 0 || position >= kBaudCount) return;  // nothing chosen: the time-out box ends it
    if (Modbus()) {
        const int code = ModbusBaudCode(position);
        if (code < 0) {
            EndWithBox("The protocol does not support this choice!", "Tiltscope", BoxIcon::None);
            return;
        }
        value_ = static_cast<uint8_t>(code);
    } else {
        value_ = static_cast<uint8_t>(position);
    }
    Send(kBaud);
    Register(kBaud);
    if (ChangesLine(kBaud)) {
        newBaudPosition_ = position;
        BeginFollow(Setting{state_.deviceAddress, kBaudTable[position], state_.parity});
    }
}

uint8_t SettingsCommands::FrequencyValue() const {
    const int position = view_.Chosen(LinkChoice::Frequency);
    if (position >= 0) return static_cast<uint8_t>(position);
    // No entry chosen: the number typed in the list, marked with bit 7.
    const std::string text = view_.ChoiceText(LinkChoice::Frequency);
    return static_cast<uint8_t>(std::atoi(text.c_str()) | 0x80);
}

void SettingsCommands::OnSetFrequency() {
    Begin("Set Fre", "设置频率");
    if (!state_.linkOpen) return;
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    value_ = FrequencyValue();
    Send(kFrequency);
    Register(kFrequency);
}

void SettingsCommands::OnSetAddress() {
    Begin("Set Addr", "设置地址");
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    const std::string text = view_.NewAddressText();
    newAddressText_ = text;
    unsigned address = 0;
    // Without an address typed, the last command's data byte would become the
    // sensor's address and leave it where nobody knows: send nothing.
    if (!ReadAddressDigits(text, address)) return;
    if (address >= 255) return;
    if (Modbus() && address == 0) return;
    if (RefuseTakenAddress(address)) return;
    value_ = static_cast<uint8_t>(address);
    Send(kAddress);
    Register(kAddress);
    if (ChangesLine(kAddress)) BeginFollow(Setting{value_, state_.baud, state_.parity});
}

void SettingsCommands::OnSave() {
    // The button is hidden under Modbus, which has no save command.
    if (Modbus()) return;
    panel_.ReadDeviceAddress();
    Send(kSave);
    Register(kSave);
}

void SettingsCommands::OnSetParity() {
    // The button is hidden under the frame protocol, which sets no parity.
    if (!Modbus()) return;
    // Like the other line changes it ends with one box, whatever happens.
    Begin("Set Parity", "设置校验位");
    if (RefuseFixedLine() || RefuseSharedLine()) return;
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    static const uint8_t kParityCodes[] = {1, 2, 0};  // N, O, E
    const int position = view_.Chosen(LinkChoice::DeviceParity);
    if (position < 0 || position >= kParityCount) return;
    value_ = kParityCodes[position];
    Send(kParity);
    Register(kParity);
    newParityPosition_ = position;
    BeginFollow(Setting{state_.deviceAddress, state_.baud, kParityTable[position]});
}

void SettingsCommands::OnSetZero() {
    Begin("Set zero", "设置零点");
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    value_ = Modbus() ? 0xFF : 1;
    Send(kZero);
    Register(kZero);
}

void SettingsCommands::OnClearZero() {
    Begin("Clc zero", "清除零点");
    panel_.ReadDeviceAddress();
    if (RefuseBroadcast()) return;
    value_ = 0;
    Send(kZero);
    Register(kZero);
}

bool SettingsCommands::SettingsStep() {
    if (countdown_ == 0) return false;
    --countdown_;
    // The protocol changed under a pending command: its data byte means
    // something else in the other one, so it is left to its time-out.
    if (awaited_ != 0 && state_.protocol != protocol_) awaited_ = 0;
    if (awaited_ == 0) return false;
    switch (follow_) {
        case Follow::EchoSeen:
        case Follow::AtOld:
            Use(new_);
            follow_ = Follow::AtNew;
            SendRead();
            return true;
        case Follow::AtNew:
            // No answer there: the sensor may wait for the repeat at the old setting.
            Use(old_);
            follow_ = Follow::AtOld;
            Send(static_cast<Kind>(kind_));
            return true;
        default:
            break;
    }
    switch (kind_) {
        case kSave:
            if (Modbus())
                ResetMachinery();
            else
                Send(kSave);
            break;
        case kParity:
            if (Modbus())
                Send(kParity);
            else
                ResetMachinery();
            break;
        case kBaud:
        case kAddress:
        case kFrequency:
        case kZero:
            Send(static_cast<Kind>(kind_));
            break;
        default:
            break;
    }
    return true;
}

void SettingsCommands::OnTarqAcknowledge(const uint8_t* frame, size_t count) {
    view_.StopTimer(LinkTimer::Settings);
    if (awaited_ == 2) {
        awaited_ = 1;
        name_.clear();
        return;
    }
    if (awaited_ == 1) awaited_ = 0;
    const bool chinese = view_.ChineseSelected();
    const bool failed = count > 4 && frame[4] == 0xFF;
    if (failed)
        view_.ShowBox(name_ + (chinese ? "操作失败!" : " failure!"), "Warning",
                      BoxIcon::Exclamation);
    else
        view_.ShowBox(name_ + (chinese ? "操作成功!" : " successfully!"), "OK", BoxIcon::None);
    name_.clear();
}

void SettingsCommands::OnModbusEcho(const uint8_t*, size_t) {
    // The time-out keeps running until the command is confirmed: an echo whose
    // repeat is never answered must still end with a box.
    if (awaited_ == 2) {
        awaited_ = 1;
        if (follow_ == Follow::AwaitEcho) {
            follow_ = Follow::EchoSeen;
            countdown_ = kTurns;  // turns to look for the sensor at both settings
        }
        return;
    }
    if (awaited_ == 1) Confirm();
}

void SettingsCommands::OnModbusException(const uint8_t* frame, size_t count) {
    if (awaited_ == 0 || count < 2 || frame[1] != (kModbusWrite | 0x80)) return;
    // The sensor kept its setting: say so now rather than where it might be later.
    awaited_ = 0;
    follow_ = Follow::None;
    const bool chinese = view_.ChineseSelected();
    EndWithBox(name_ + (chinese ? "操作失败!" : " failure"), "Warning", BoxIcon::Exclamation);
}

void SettingsCommands::OnMeasurement() {
    if (follow_ == Follow::AtNew && awaited_ > 0) Confirm();
}

void SettingsCommands::OnOpConfirmed() {
    ApplyConfirmedSetting();
    view_.ShowBox(view_.Text(LinkText::OperateSuccessfully), "Message", BoxIcon::None);
}

void SettingsCommands::ApplyConfirmedSetting() {
    if (follow_ != Follow::None) {
        // The sensor answers at the new setting: the link stays there, and so
        // does the next start.
        Use(new_);
        if (kind_ == kAddress) {
            panel_.AdoptDeviceAddress(new_.address, newAddressText_, old_.address);
        } else {
            if (kind_ == kBaud) view_.Choose(LinkChoice::LineBaud, newBaudPosition_);
            if (kind_ == kParity) view_.Choose(LinkChoice::LineParity, newParityPosition_);
            panel_.StoreLineChoice();
        }
        ResetMachinery();
        return;
    }
    if (kind_ == kBaud) {
        const int position = view_.Chosen(LinkChoice::DeviceBaud);
        if (position >= 0 && position < kBaudCount) {
            view_.Choose(LinkChoice::LineBaud, position);
            state_.baud = kBaudTable[position];
        }
        panel_.ReopenIfOpen();
    } else if (kind_ == kAddress) {
        panel_.AdoptDeviceAddress(value_, newAddressText_, state_.deviceAddress);
    } else if (kind_ == kParity) {
        const int position = view_.Chosen(LinkChoice::DeviceParity);
        if (position >= 0 && position < kParityCount) {
            view_.Choose(LinkChoice::LineParity, position);
            state_.parity = kParityTable[position];
        }
        panel_.ReopenIfOpen();
    }
    ResetMachinery();
}

void SettingsCommands::OnTimeout() {
    view_.StopTimer(LinkTimer::Settings);
    const bool chinese = view_.ChineseSelected();
    std::string text = name_ + (chinese ? "操作失败!" : " failure");
    if (follow_ != Follow::None) {
        // The write may have been taken; say where the sensor may be, and go on
        // where the operator had it, since nothing confirmed the change.
        text += MayNowBeAt();
        Use(old_);
        follow_ = Follow::None;
        awaited_ = 0;
    }
    view_.ShowBox(text, "Warning", BoxIcon::Exclamation);
    name_.clear();
}
