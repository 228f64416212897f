// The window as a process, started as the package's launcher starts it (from
// the user's tree, named in TILTSCOPE_TREE) and as the portable layout is.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "CsvFormat.h"
#include "RecordTestSupport.h"
#include "UiFakes.h"

namespace {

// A first start in `folder`: the exit status, or -1 when it did not exit.
int RunOnce(const std::string& folder, const std::string& tree) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (tree.empty()) {
            ::unsetenv("TILTSCOPE_TREE");
        } else {
            ::setenv("TILTSCOPE_TREE", tree.c_str(), 1);
        }
        ::execl(TILTSCOPE_PATH, "tiltscope", "--run-seconds", "1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool HasLine(const std::string& text, const std::string& line) {
    return text.find(line + "\r\n") != std::string::npos ||
           text.find(line + "\n") != std::string::npos;
}

TEST(ProgramTreeWindow, FromTheLaunchersTreeTheDataFolderIsTheTreesThoughTheProgramIsElsewhere) {
    ScratchFolder tree;
    ASSERT_EQ(RunOnce(tree.Bin(), tree.Root()), 0);
    const std::string ini = record_test::ReadFile(tree.Config());
    EXPECT_TRUE(HasLine(ini, "PATH=" + tree.Root() + "/data")) << ini;
}

TEST(ProgramTreeWindow, WithoutATreeTheDataFolderStaysBesideTheProgramsOwnFolder) {
    ScratchFolder portable;
    ASSERT_EQ(RunOnce(portable.Bin(), ""), 0);
    const std::string ini = record_test::ReadFile(portable.Config());
    EXPECT_TRUE(HasLine(ini, "PATH=" + DefaultDataFolder(TILTSCOPE_PATH))) << ini;
}

}  // namespace
