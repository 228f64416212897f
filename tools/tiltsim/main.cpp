// tiltsim: a tilt sensor, or an RS-485 bus of them, on a pseudo-terminal or a TCP port;
// the project's test partner and demo device.

#include "ProgramTree.h"
#include "SimOptions.h"
#include "Simulator.h"

int main(int argc, char** argv) {
    SimArgs args;
    // Started by the package's launcher, --link registers in the user's own tree.
    args.portsDir = ProgramTree::FromEnvironment().PortsDir();
    if (!ParseSimArgs(argc, argv, args)) return 2;
    Simulator simulator(args);
    return simulator.Run();
}
