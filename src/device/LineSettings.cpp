#include "LineSettings.h"

namespace {

bool BaudConstant(uint32_t baud, speed_t& speed) {
    switch (baud) {
        case 2400:
            speed = B2400;
            return true;
        case 4800:
            speed = B4800;
            return true;
        case 9600:
            speed = B9600;
            return true;
        case 19200:
            speed = B19200;
            return true;
        case 38400:
            speed = B38400;
            return true;
        case 57600:
            speed = B57600;
            return true;
        case 115200:
            speed = B115200;
            return true;
        case 230400:
            speed = B230400;
            return true;
        default:
            return false;
    }
}

}  // namespace

bool BuildTermios(const termios& current, const LineSettings& line, termios& out) {
    out = current;
    speed_t speed{};
    if (!BaudConstant(line.baud, speed)) return false;

    // Raw binary line: no translation, no echo, no signals, no software flow control.
    out.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | INPCK | IUCLC);
    out.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    out.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    out.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    out.c_cflag |= CREAD | CLOCAL;

    switch (line.dataBits) {
        case 5:
            out.c_cflag |= CS5;
            break;
        case 6:
            out.c_cflag |= CS6;
            break;
        case 7:
            out.c_cflag |= CS7;
            break;
        default:
            out.c_cflag |= CS8;
            break;
    }

    switch (line.parity) {
        case 'E':
        case 'e':
            out.c_cflag |= PARENB;
            break;
        case 'O':
        case 'o':
            out.c_cflag |= PARENB | PARODD;
            break;
        // Mark and space are the stick-parity variants of odd and even.
        case 'M':
        case 'm':
            out.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 'S':
        case 's':
            out.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }

    // Linux has no 1.5 stop bits; two is the nearest a UART will send.
    if (line.stopBits == 1 || line.stopBits == 2) out.c_cflag |= CSTOPB;

    // Reads never block in the driver: the monitor sleeps in poll() instead.
    out.c_cc[VMIN] = 0;
    out.c_cc[VTIME] = 0;

    cfsetispeed(&out, speed);
    cfsetospeed(&out, speed);
    return true;
}
