#include "PortAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

PortOwnership LookUpPortOwnership(const std::string& devicePath) {
    PortOwnership o;
    // A COM link in the ports folder names our alias; the advice names the device.
    if (char* resolved = ::realpath(devicePath.c_str(), nullptr)) {
        o.device = resolved;
        std::free(resolved);
    } else {
        o.device = devicePath;
    }
    struct stat st {};
    if (::stat(devicePath.c_str(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid)) o.group = g->gr_name;
    }
    if (const passwd* p = ::getpwuid(::geteuid())) {
        o.user = p->pw_name;
    } else if (const char* env = std::getenv("USER")) {
        o.user = env;
    }
    if (o.user.empty()) o.user = "$USER";
    return o;
}

std::string PortPermissionAdvice(const PortOwnership& owner, bool chinese) {
    const std::string& devicePath = owner.device;
    // A device of root's own group is not meant for users; joining root is no advice.
    if (owner.group.empty() || owner.group == "root") {
        return chinese ? "无权打开 " + devicePath +
                             "。请让管理员为该设备设置一个用户组（例如 dialout）。"
                       : "You may not open " + devicePath +
                             ". Ask your administrator to give the device a group of its own "
                             "(such as dialout).";
    }
    const std::string command = "sudo usermod -aG " + owner.group + " " + owner.user;
    if (chinese)
        return "无权打开 " + devicePath + "：它属于 " + owner.group +
               " 组。请用以下命令把自己加入该组：\n  " + command + "\n然后注销并重新登录。";
    return "You may not open " + devicePath + ": it belongs to the group " + owner.group +
           ". Add yourself to it with\n  " + command + "\nthen log out and in again.";
}
