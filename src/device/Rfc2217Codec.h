#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "LineCodec.h"
#include "TelnetStream.h"

// The client side of a telnet connection with the COM port option: line bytes
// with 0xFF doubled, option negotiation answered, and the serial port's
// settings asked of the server once it has agreed to the option.
class Rfc2217Codec : public LineCodec {
public:
    // Requests held for the server's answer to the option before they go
    // without it: about three seconds of polls at the usual rate.
    static constexpr int kHeldBeforeGivingUp = 15;

    void Encode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& wire) override;
    void Decode(const uint8_t* bytes, size_t count, std::vector<uint8_t>& line,
                std::vector<uint8_t>& reply) override;
    // Offers the option at the first call; the settings themselves go out
    // once the server has said DO (at once when it already has).
    bool LineRequest(const LineSettings& settings, std::vector<uint8_t>& wire) override;
    LineNotice TakeNotice() override;

private:
    void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
    void AppendSettings(std::vector<uint8_t>& wire) const;
    // Sends what waited for the server's answer to the option.
    void ReleaseHeld(std::vector<uint8_t>& wire);
    static bool Accepted(uint8_t option);

    TelnetStream stream_;
    // What each side has agreed to do, by option number.
    std::array<bool, 256> ours_{};
    std::array<bool, 256> theirs_{};
    // Refusals already sent, so a server that insists is not answered forever.
    std::array<bool, 256> refusedOurs_{};
    std::array<bool, 256> refusedTheirs_{};
    bool serverAgreed_ = false;
    bool settingsWaiting_ = false;
    // The server never answered the option: requests no longer wait for it.
    bool gaveUp_ = false;
    int heldCount_ = 0;
    LineSettings settings_;
    std::vector<uint8_t> held_;
    LineNotice notice_;
};
