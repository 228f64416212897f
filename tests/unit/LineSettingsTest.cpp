#include <gtest/gtest.h>

#include <string>

#include "LineSettings.h"

namespace {

termios Cooked() {
    // What a freshly opened tty typically reports: canonical, echoing, 9600.
    termios t{};
    t.c_iflag = ICRNL | IXON | BRKINT;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS7 | PARENB | CSTOPB | CRTSCTS;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

struct BaudCase {
    uint32_t baud;
    speed_t speed;
};

class BaudMapping : public ::testing::TestWithParam<BaudCase> {};

TEST_P(BaudMapping, EveryOfferedBaudSetsBothDirections) {
    LineSettings line;
    line.baud = GetParam().baud;
    termios out{};
    ASSERT_TRUE(BuildTermios(Cooked(), line, out));
    EXPECT_EQ(cfgetispeed(&out), GetParam().speed);
    EXPECT_EQ(cfgetospeed(&out), GetParam().speed);
}

INSTANTIATE_TEST_SUITE_P(OfferedBauds, BaudMapping,
                         ::testing::Values(BaudCase{2400, B2400}, BaudCase{4800, B4800},
                                           BaudCase{9600, B9600}, BaudCase{19200, B19200},
                                           BaudCase{38400, B38400}, BaudCase{115200, B115200},
                                           BaudCase{230400, B230400}));

TEST(LineSettingsTermios, UnknownBaudIsRefusedAndLeavesTheSettingsAlone) {
    LineSettings line;
    line.baud = 12345;
    const termios in = Cooked();
    termios out{};
    EXPECT_FALSE(BuildTermios(in, line, out));
    EXPECT_EQ(out.c_cflag, in.c_cflag);
    EXPECT_EQ(out.c_lflag, in.c_lflag);
}

struct ParityCase {
    char letter;
    tcflag_t set;
};

class ParityMapping : public ::testing::TestWithParam<ParityCase> {};

TEST_P(ParityMapping, LetterSelectsTheParityBits) {
    LineSettings line;
    line.parity = GetParam().letter;
    termios out{};
    ASSERT_TRUE(BuildTermios(Cooked(), line, out));
    EXPECT_EQ(out.c_cflag & (PARENB | PARODD | CMSPAR), GetParam().set)
        << "parity '" << GetParam().letter << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Letters, ParityMapping,
    ::testing::Values(ParityCase{'N', 0}, ParityCase{'E', PARENB}, ParityCase{'O', PARENB | PARODD},
                      ParityCase{'M', PARENB | PARODD | CMSPAR}, ParityCase{'S', PARENB | CMSPAR},
                      ParityCase{'e', PARENB}, ParityCase{'o', PARENB | PARODD}, ParityCase{'X', 0},
                      ParityCase{'\0', 0}));

TEST(LineSettingsTermios, StopBitSelectionOneAndAHalfBecomesTwo) {
    for (int selection : {0, 1, 2, 7}) {
        LineSettings line;
        line.stopBits = selection;
        termios out{};
        ASSERT_TRUE(BuildTermios(Cooked(), line, out));
        const bool two = (out.c_cflag & CSTOPB) != 0;
        EXPECT_EQ(two, selection == 1 || selection == 2) << "selection " << selection;
    }
}

TEST(LineSettingsTermios, LineIsRawEightBitWithoutFlowControl) {
    LineSettings line;
    termios out{};
    ASSERT_TRUE(BuildTermios(Cooked(), line, out));
    EXPECT_EQ(out.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(out.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(out.c_cflag & CREAD, 0u);
    EXPECT_NE(out.c_cflag & CLOCAL, 0u);
    // 0x0D and 0x11/0x13 are ordinary frame bytes: no translation, no XON/XOFF.
    EXPECT_EQ(out.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR), 0u);
    EXPECT_EQ(out.c_oflag & OPOST, 0u);
    EXPECT_EQ(out.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(out.c_cc[VMIN], 0);
    EXPECT_EQ(out.c_cc[VTIME], 0);
}

}  // namespace
