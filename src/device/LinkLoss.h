#pragma once

#include <string>

// Why an open link went out of use, in the system's own terms.
struct LinkLoss {
    int error = 0;         // errno; 0 on a connection means the far end closed it
    bool server = false;   // a connection to a serial device server, not a tty
    bool removed = false;  // the device's name has gone from the system
};

// The reason as the operator reads it, with the system's text in brackets:
// "the device was removed (No such device)".
std::string LossReason(const LinkLoss& loss, bool chinese);
