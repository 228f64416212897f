// tiltlog set against tiltsim over ptys: a change counts only when the sensor
// answers where it was sent.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimProcess.h"
#include "TiltlogRig.h"

namespace {

struct Outcome {
    int status;
    std::string err;
};

Outcome Tiltlog(const std::vector<std::string>& args) {
    Rig rig;
    rig.Start(args);
    const int status = rig.Wait();
    return {status, rig.err};
}

// Three rows from a fresh logging run at this line and address.
void ExpectAnswersAt(const std::string& pty, const std::string& protocol,
                     const std::string& address, const std::string& baud = "9600",
                     const std::string& parity = "N") {
    Rig rig;
    rig.Start({"--port", pty, "--protocol", protocol, "--address", address, "--baud", baud,
               "--parity", parity, "--interval-ms", "30", "--count", "3", "--duration", "10",
               "--output", "-"});
    EXPECT_EQ(rig.Wait(), 0) << rig.err;
    std::vector<Row> rows;
    EXPECT_TRUE(CsvRows(rig.out, rows) && rows.size() == 3) << address << " " << rig.out << rig.err;
}

struct Sensor {
    std::string protocol;
    std::vector<std::string> simArgs;
    std::vector<std::string> changes;
};

class TiltlogSet : public testing::TestWithParam<Sensor> {};

TEST_P(TiltlogSet, EachChangeIsConfirmedInOrderAndTheSensorAnswersAtItsNewAddress) {
    const Sensor& s = GetParam();
    std::vector<std::string> simArgs = {"--protocol", s.protocol, "--address", "3"};
    simArgs.insert(simArgs.end(), s.simArgs.begin(), s.simArgs.end());
    SimProcess sim(simArgs);
    ASSERT_TRUE(sim.Started());
    std::vector<std::string> args = {"set",       "--port", sim.PtyPath(), "--protocol", s.protocol,
                                     "--address", "3"};
    args.insert(args.end(), s.changes.begin(), s.changes.end());
    const Outcome set = Tiltlog(args);
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_NE(set.err.find("address 3: zero set, confirmed"), std::string::npos) << set.err;
    EXPECT_NE(set.err.find("address 3: output rate 0 Hz, confirmed"), std::string::npos);
    EXPECT_NE(set.err.find("address 3: address 9, confirmed"), std::string::npos);
    ExpectAnswersAt(sim.PtyPath(), s.protocol, "9");
}

INSTANTIATE_TEST_SUITE_P(
    BothProtocols, TiltlogSet,
    testing::Values(
        Sensor{"tarq", {}, {"--zero", "--output-rate", "0", "--new-address", "9"}},
        Sensor{"modbus", {}, {"--new-address", "9", "--output-rate", "0", "--zero"}},
        Sensor{"modbus", {"--standard"}, {"--output-rate", "0", "--zero", "--new-address", "9"}}),
    [](const testing::TestParamInfo<Sensor>& p) {
        return p.param.protocol + (p.param.simArgs.empty() ? "" : "Standard");
    });

// A pty drops the parity bit, which the C library calls EINVAL: not a line
// that cannot be set up.
TEST(TiltlogSetStandard, ABaudRateAndParityChangeIsFollowedAndTheSensorAnswersThere) {
    SimProcess sim({"--protocol", "modbus", "--standard", "--address", "5"});
    ASSERT_TRUE(sim.Started());
    const Outcome set = Tiltlog({"set", "--port", sim.PtyPath(), "--protocol", "modbus",
                                 "--address", "5", "--new-parity", "O", "--new-baud", "19200"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_NE(set.err.find("baud rate 19200, confirmed; it answers at 19200 baud"),
              std::string::npos)
        << set.err;
    ExpectAnswersAt(sim.PtyPath(), "modbus", "5", "19200", "O");
}

TEST(TiltlogSetRefused, ABroadcastAddressSendsNothingAndIsAUsageError) {
    SimProcess sim({"--protocol", "modbus"});
    Rig rig(sim.PtyPath(), 8);
    rig.Start({"set", "--port", rig.Link(), "--protocol", "modbus", "--address", "0", "--zero"});
    EXPECT_EQ(rig.Wait(), 2);
    EXPECT_NE(rig.err.find("broadcast"), std::string::npos) << rig.err;
    EXPECT_EQ(rig.requestsSeen, 0);
}

TEST(TiltlogSetSilent, ASensorThatNeverAnswersFailsWithTheReasonAndWhatWasDone) {
    for (const std::string protocol : {"tarq", "modbus"}) {
        SimProcess sim({"--protocol", protocol, "--address", "2", "--silent"});
        ASSERT_TRUE(sim.Started());
        // Save has no time-out in the window; it must end all the same.
        const Outcome set = Tiltlog({"set", "--port", sim.PtyPath(), "--protocol", protocol,
                                     "--address", "2", protocol == "tarq" ? "--save" : "--zero"});
        EXPECT_EQ(set.status, 1) << set.err;
        EXPECT_NE(set.err.find("not confirmed: no answer"), std::string::npos) << set.err;
    }
}

}  // namespace
