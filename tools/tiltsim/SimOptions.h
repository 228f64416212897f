#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ListenAddress.h"
#include "SensorSimulator.h"

// --line-rate without --turnaround-us: the pause before a reply, about what a
// sensor's firmware takes to turn its RS-485 driver round.
constexpr long kDefaultTurnaroundUs = 1000;

// tiltsim's command line.
struct SimArgs {
    SimulatorOptions sim;
    std::vector<uint8_t> addresses;
    bool addressGiven = false;
    long lineRate = 0;
    long turnaroundUs = kDefaultTurnaroundUs;
    bool listening = false;
    ListenAddress listenAt;
    long count = -1;
    bool split = false;
    bool autoAfterRequest = false;
    long unplugAfter = -1;
    std::string link;
    std::string portsDir = "../config/ports";
};

// Fills `args` from the command line; false once the reason is on standard
// error. --help prints the help and exits.
bool ParseSimArgs(int argc, char** argv, SimArgs& args);
void PrintSimHelp(FILE* to, const std::string& defaultPortsDir);
