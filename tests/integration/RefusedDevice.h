#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// A device node the test's user may not open, as an adapter is for a user
// outside its group. As root (who may open anything) the node goes to
// root:dialout 0660 and the check must run as nobody, in a forked child; an
// ordinary user loses the owner's own bits, the group keeps its access.
class RefusedDevice {
public:
    RefusedDevice(const std::string& device, const std::string& folderToOpenUp) : device_(device) {
        struct stat st {};
        if (::stat(device.c_str(), &st) != 0) return;
        saved_ = st.st_mode & 07777;
        if (::geteuid() == 0) {
            const group* dialout = ::getgrnam("dialout");
            if (!dialout || ::chown(device.c_str(), 0, dialout->gr_gid) != 0) return;
            if (::chmod(device.c_str(), 0660) != 0) return;
            // nobody must reach the ports folder to be refused by the device itself.
            OpenUp(folderToOpenUp);
            group_ = "dialout";
            dropToNobody_ = true;
        } else {
            if (::chmod(device.c_str(), 0060) != 0) return;
            const group* g = ::getgrgid(st.st_gid);
            if (!g) return;
            group_ = g->gr_name;
        }
        ok_ = true;
    }
    ~RefusedDevice() {
        if (ok_) ::chmod(device_.c_str(), saved_);
    }
    RefusedDevice(const RefusedDevice&) = delete;
    RefusedDevice& operator=(const RefusedDevice&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Group() const { return group_; }
    // In the child that makes the attempt: become the user who is refused.
    bool BecomeRefusedUser() const {
        if (!dropToNobody_) return true;
        return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
    }
    static std::string UserName() {
        const passwd* p = ::getpwuid(::geteuid());
        return p ? p->pw_name : "";
    }

private:
    static void OpenUp(std::string folder) {
        for (int i = 0; i < 2 && !folder.empty(); ++i) {
            ::chmod(folder.c_str(), 0755);
            folder = folder.substr(0, folder.find_last_of('/'));
        }
    }

    std::string device_;
    mode_t saved_ = 0;
    std::string group_;
    bool dropToNobody_ = false;
    bool ok_ = false;
};
