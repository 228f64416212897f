#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Why an open link went out of use, in the system's own terms.
struct LinkLoss {
    LinkLoss(int err = 0, bool atServer = false, bool gone = false, std::string said = {})
        : error(err), server(atServer), removed(gone), words(std::move(said)) {}

    int error = 0;         // errno; 0 on a connection means the far end closed it
    bool server = false;   // a connection to a serial device server, not a tty
    bool removed = false;  // the device's name has gone from the system
    std::string words;     // what a device server said just before it closed
};

// The text a device server sent before closing ("Device open failure: ..."),
// found at the end of the last bytes received; "" when they end in no text.
std::string ServerWords(const std::vector<uint8_t>& tail);

// The reason as the operator reads it, with the system's text in brackets:
// "the device was removed (No such device)", and a server's own words quoted.
std::string LossReason(const LinkLoss& loss, bool chinese);
