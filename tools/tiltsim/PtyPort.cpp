#include "PtyPort.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool MakeDirs(const std::string& path) {
    std::string partial;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        from = slash + 1;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool OpenPty(int& master, int& slave, std::string& slavePath, const LineSettings* line) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return false;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
        return false;
    slavePath = name;
    slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) return false;
    termios tio{};
    if (tcgetattr(slave, &tio) != 0) return false;
    cfmakeraw(&tio);
    if (line) {
        termios wanted{};
        if (!BuildTermios(tio, *line, wanted)) return false;
        tio = wanted;
    }
    if (tcsetattr(slave, TCSANOW, &tio) != 0) return false;
    const int flags = fcntl(master, F_GETFL);
    return flags >= 0 && fcntl(master, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool PortLink::Create(const std::string& dir, const std::string& name, const std::string& target) {
    if (!MakeDirs(dir)) {
        fprintf(stderr, "tiltsim: cannot create %s: %s\n", dir.c_str(), strerror(errno));
        return false;
    }
    const std::string path = dir + "/" + name;
    // A link left by a simulator that was killed is ours to replace; a file is not.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode) || unlink(path.c_str()) != 0) {
            fprintf(stderr, "tiltsim: %s exists and is not a link\n", path.c_str());
            return false;
        }
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
        fprintf(stderr, "tiltsim: cannot link %s: %s\n", path.c_str(), strerror(errno));
        return false;
    }
    path_ = path;
    return true;
}

void PortLink::Remove() {
    if (path_.empty()) return;
    unlink(path_.c_str());
    path_.clear();
}
