#pragma once

#include <string>

#include "LineSettings.h"

// Opens the master and configures the slave; the slave stays open with us so the
// master never reports a hang-up while no client has it open, and its raw mode
// (no echo, no line editing) is what a client finds when it opens the terminal.
// `line`, when given, is the speed and parity a client finds there too.
bool OpenPty(int& master, int& slave, std::string& slavePath, const LineSettings* line);

// --link: the terminal registered as a COM port, a link in the ports folder.
class PortLink {
public:
    PortLink() = default;
    ~PortLink() { Remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Links `dir`/`name` to `target`, creating `dir`; false once the reason is
    // on standard error.
    bool Create(const std::string& dir, const std::string& name, const std::string& target);
    void Remove();

private:
    std::string path_;
};
