#pragma once

#include <functional>
#include <string>
#include <vector>

#include "LinkState.h"
#include "LinkView.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "SettingsStore.h"

// The port, baud and parity choice, opening and closing the link, the device
// address and the protocol switch.
class ConnectionPanel {
public:
    using Discover = std::function<std::vector<int>()>;

    ConnectionPanel(LinkState& state, LinkView& view, SettingsStore& store, CSerialPort& port,
                    SerialOwner& owner, ReceivePath& path, Discover discover);

    // Fills every list of the panel and of the settings commands (window creation).
    void FillLists();
    // The frequency list's entries depend on the protocol at the time of filling.
    void FillFrequencyList();
    // Discovers the ports and opens the configured one when it is among them.
    void StartupScan();

    bool OpenCloseToggle();
    void ReopenIfOpen();
    // Closes an open link; the controls say closed.
    void CloseLink();
    // Opens the link with the line settings in use, saying nothing when it
    // cannot: a lost link waiting for its device to return.
    bool OpenQuietly();
    // Told of every open (a reopen at new line settings too) and close.
    void SetLinkListener(std::function<void(bool open)> listener) {
        linkListener_ = std::move(listener);
    }
    // The address box: one address, or a list of them (a bus). A list that
    // cannot be polled is refused with a box, once for each text typed.
    void ReadDeviceAddress();
    // The chosen port is a raw or Modbus TCP converter, which keeps its own
    // baud rate and parity whatever the sensor is set to.
    bool LineFixedByConverter() const {
        return port_.ReachOf(state_.portnr) == CSerialPort::LineReach::Fixed;
    }
    // A confirmed address change: the sensor at `from` now answers at
    // `address`, shown as `boxText` (on a bus, the list with `from` replaced)
    // and stored for the next start.
    void AdoptDeviceAddress(uint8_t address, const std::string& boxText, uint8_t from);
    // Talks to `address` from now on without touching the address box or the file.
    void UseDeviceAddress(uint8_t address);
    // Reopens an open link at these line settings; the lists are left alone.
    void UseLine(uint32_t baud, char parity);
    // The whole line from a caller without lists (tiltlog): the port by number,
    // a device path given instead being pinned to that number in the channel's
    // port map. Taken at the next open while no list entry is chosen.
    void TakeLine(const LineSettings& line);
    // Stores the baud and parity lists' positions for the next start.
    void StoreLineChoice();
    // A line the operator opened or changed is stored once it has answered
    // (each poll tick asks), so the next start opens it again.
    void ConfirmLineChoice();
    // Chooses the line's parity (the settings load); the device parity list follows.
    void ShowLineParity(int position);
    void ApplyProtocol(int position);

    // Selection and button handlers (operator actions only).
    void OnPortSelected();
    void OnParitySelected();
    void OnBaudSelected();
    void OnOpenClicked();
    void OnProtocolSelected();
    void OnModelSelected();
    // From now on the device parity list keeps the operator's choice.
    void OnDeviceParitySelected();

    // The port number of a "COM%d" entry: the decimal digits after its first three characters.
    static uint32_t PortNumberOf(const std::string& entry);
    // The address box rule: 1 to 3 digits, three digits modulo 256; false leaves it unchanged.
    static bool ParseDeviceAddress(const std::string& text, uint8_t& address);

private:
    void TakeLineSettings();
    // The chosen port's number, baud rate or parity letter; a list without a
    // choice keeps the last value rather than read past its table.
    void TakeChosenPort();
    void TakeChosenBaud();
    void TakeChosenParity();
    LineSettings Line() const;
    // Opens the channel with the current line settings and starts its monitor.
    bool OpenPort();
    void ChangeLine();
    // The operator's line, when open, waits for its first reply to be stored.
    void AwaitLineReply();
    // Until the operator picks a device parity, it is the line's: Set parity
    // then leaves the sensor where it is.
    void FollowLineParity();
    void SetDeviceAddress(uint8_t address);
    void ReadAddressList(const std::string& text);
    void ShowOpenFailed();
    PortEntry MakePortEntry(int portnr) const;
    // The entries COM1 to COM15, for a list with no discovery behind it.
    std::vector<PortEntry> DefaultPorts() const;
    void ShowPorts(std::vector<PortEntry> ports);
    void SetLinkOpen(bool open);
    // Fills a list whose refused entries are reported, one box each.
    void ShowReportedChoices(LinkChoice choice, const std::vector<std::string>& entries);

    LinkState& state_;
    LinkView& view_;
    SettingsStore& store_;
    CSerialPort& port_;
    SerialOwner& owner_;
    ReceivePath& path_;
    Discover discover_;
    // The port list as shown, so that an entry's number needs no view to read.
    std::vector<PortEntry> ports_;
    bool lineAwaitsReply_ = false;
    uint64_t repliesBeforeLine_ = 0;
    bool deviceParityPicked_ = false;
    std::string refusedList_;  // the address list last refused, told once
    std::function<void(bool open)> linkListener_;
};
