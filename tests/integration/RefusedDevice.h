#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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
        std::error_code ec;
        if (!copyDir_.empty()) std::filesystem::remove_all(copyDir_, ec);
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
    // The program as the refused user can run it: nobody cannot reach a build
    // tree under a home folder of mode 0700 (root's is), so it gets a copy in a
    // folder of its own that the destructor removes.
    std::string Reachable(const std::string& program) {
        if (!dropToNobody_) return program;
        char pattern[] = "/tmp/tiltscope-refused-XXXXXX";
        if (!::mkdtemp(pattern)) return program;
        copyDir_ = pattern;
        ::chmod(pattern, 0755);
        const std::string copy = copyDir_ + "/" + std::filesystem::path(program).filename().string();
        std::error_code ec;
        std::filesystem::copy_file(program, copy, ec);
        ::chmod(copy.c_str(), 0755);
        return ec ? program : copy;
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
    std::string copyDir_;
    bool dropToNobody_ = false;
    bool ok_ = false;
};
