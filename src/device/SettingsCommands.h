#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "LinkState.h"
#include "LinkView.h"

class ConnectionPanel;

// The buttons that change the sensor's own settings, and the small machine they
// share: a command goes out at once, is repeated on up to three polling ticks
// until answered, and ends with a result box or, after one second, a time-out box.
class SettingsCommands {
public:
    // Operation kinds, as the machine knows them.
    enum Kind {
        kNone = 0,
        kSave = 2,
        kBaud = 3,
        kAddress = 4,
        kParity = 5,
        kFrequency = 6,
        kZero = 7
    };

    using Transmit = std::function<void(const uint8_t* bytes, size_t count)>;

    SettingsCommands(LinkState& state, LinkView& view, ConnectionPanel& panel, Transmit transmit);

    void OnSetBaud();
    void OnSetFrequency();
    void OnSetAddress();
    void OnSave();
    void OnSetParity();
    void OnSetZero();
    void OnClearZero();

    // The poll timer: true when the tick was spent on a pending command.
    bool SettingsStep();
    void ResetMachinery();

    void OnTarqAcknowledge(const uint8_t* frame, size_t count);
    void OnModbusEcho(const uint8_t* frame, size_t count);
    // A refused request: a pending write fails at once, and nothing moved.
    void OnModbusException(const uint8_t* frame, size_t count);
    // Every accepted measurement: a sensor followed to a new setting answers there.
    void OnMeasurement();
    // MSG_OP_CONFIRMED.
    void OnOpConfirmed();
    // Takes the confirmed setting into the link and ends the command.
    void ApplyConfirmedSetting();
    // The settings timer.
    void OnTimeout();

    int TurnCountdown() const { return countdown_; }
    int AnswersAwaited() const { return awaited_; }
    int OperationKind() const { return kind_; }
    uint8_t OperationValue() const { return value_; }
    const std::string& OperationName() const { return name_; }

    // Where a Modbus address, baud or parity change stands. A standard device takes
    // the new setting as soon as it has echoed the write, so the repeat at the old
    // one goes unanswered; others wait for the repeat. The machine follows the
    // sensor to the new setting and tries the old one in turn.
    enum class Follow {
        None,
        AwaitEcho,  // the write is out; no echo yet
        EchoSeen,   // one echo: the next tick goes to the new setting
        AtNew,      // polling at the new setting for an answer
        AtOld,      // back at the old setting with the repeated write
    };
    Follow FollowState() const { return follow_; }

    // The Modbus code of a device-baud list position, or -1 where the protocol has none.
    static int ModbusBaudCode(int position);

private:
    // The line a Modbus sensor is reached at.
    struct Setting {
        uint8_t address = 0;
        uint32_t baud = 0;
        char parity = 'N';
    };

    bool Modbus() const { return state_.protocol == kProtocolModbus; }
    // Modbus writes to address 0 reach every sensor on the bus: refused with a box.
    bool RefuseBroadcast();
    // A converter that keeps its own line settings would lose a sensor that
    // changes its baud rate or parity: refused with a box, nothing sent.
    bool RefuseFixedLine();
    // On a bus the line's speed and parity are every sensor's: one sensor
    // changed alone would be lost to the line. Refused with a box.
    bool RefuseSharedLine();
    // An address another sensor on the bus answers at: two would answer it.
    bool RefuseTakenAddress(unsigned address);
    void EndWithBox(const std::string& text, const std::string& caption, BoxIcon icon);
    bool ChangesLine(int kind) const;
    void BeginFollow(const Setting& next);
    void Use(const Setting& setting);
    void Confirm();
    std::string MayNowBeAt() const;
    void SendRead();
    void Begin(const char* english, const char* chinese);
    void Register(Kind kind);
    void Send(Kind kind);
    void SendTarq(Kind kind);
    void SendModbus(Kind kind);
    uint8_t FrequencyValue() const;

    LinkState& state_;
    LinkView& view_;
    ConnectionPanel& panel_;
    Transmit transmit_;

    uint8_t countdown_ = 0;
    uint8_t awaited_ = 0;
    int kind_ = kNone;
    // The protocol the pending command was sent in; it is never repeated in another.
    int protocol_ = kProtocolTarq;
    uint8_t value_ = 0;
    std::string name_;
    // The new-address box as last read, for the address box after a confirmed change.
    std::string newAddressText_;
    Follow follow_ = Follow::None;
    Setting old_;
    Setting new_;
    int newBaudPosition_ = -1;
    int newParityPosition_ = -1;
};
