#pragma once

#include <cerrno>
#include <string>

// What to tell an operator whom the system does not let open a serial device:
// on Linux the device belongs to a group (dialout for most adapters), and a
// user outside it must be added, then log in again.

struct PortOwnership {
    std::string device;  // the device itself, links followed
    std::string group;   // the device's group, "" when it cannot be found
    std::string user;    // the name of the user we run as
};

// The device's group and our own user name, from the system.
PortOwnership LookUpPortOwnership(const std::string& devicePath);

// The advice for a port refused for want of permission, in the interface language.
std::string PortPermissionAdvice(const PortOwnership& owner, bool chinese);

// True for the errno values that mean "not allowed" rather than "not there".
inline bool IsPermissionError(int err) {
    return err == EACCES || err == EPERM;
}
