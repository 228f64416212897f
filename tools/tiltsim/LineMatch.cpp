#include "LineMatch.h"

namespace {

uint32_t SpeedBaud(speed_t speed) {
    switch (speed) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        default:
            return 0;
    }
}

}  // namespace

uint32_t TermiosBaud(const termios& tio) {
    return SpeedBaud(cfgetospeed(&tio));
}

char TermiosParity(const termios& tio) {
    const tcflag_t c = tio.c_cflag;
    if (c & PARENB) {
        if (c & CMSPAR) return (c & PARODD) ? 'M' : 'S';
        return (c & PARODD) ? 'O' : 'E';
    }
    // A pseudo-terminal clears PARENB whatever the client set, but keeps PARODD:
    // odd parity still shows there, even parity reads as none.
    return (c & PARODD) ? 'O' : 'N';
}

bool LineMatches(const termios& tio, uint32_t baud, char parity) {
    // An input speed of 0 means "as the output speed".
    const speed_t in = cfgetispeed(&tio);
    if (in != B0 && SpeedBaud(in) != TermiosBaud(tio)) return false;
    return baud != 0 && TermiosBaud(tio) == baud && TermiosParity(tio) == parity;
}

bool LineMatches(const LineSettings& line, uint32_t baud, char parity) {
    return baud != 0 && line.baud == baud && line.parity == parity && line.dataBits == 8;
}
