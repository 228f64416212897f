#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "IniFile.h"

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tiltscope-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "config");
        path_ = (root_ / "config" / "Config.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    void Put(const std::string& bytes) const { Put(path_, bytes); }
    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Get() const { return Get(path_); }
    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ / "config"))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path root_;
    std::string path_;
};

TEST_F(IniFileTest, ValueIsTheTrimmedTextAfterTheFirstEquals) {
    Put("[Config]\r\n  xRange \t=  45 = deg \t\r\nRatio=\r\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("xRange"), "45 = deg");
    EXPECT_EQ(ini.ReadString("Ratio", "fallback"), "");
}

TEST_F(IniFileTest, KeyAndSectionMatchWithoutRegardToCase) {
    Put("[config]\nmodel=T1\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("MODEL"), "T1");
    EXPECT_EQ(ini.ReadString("Model"), "T1");
    ASSERT_TRUE(ini.WriteString("MoDeL", "T2"));
    EXPECT_EQ(Get(), "[config]\nMoDeL=T2\n");
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheCallersDefault) {
    struct Case {
        const char* name;
        const char* content;  // nullptr: no file
    };
    for (const Case& c :
         {Case{"no file", nullptr}, Case{"empty file", ""}, Case{"no section", "ADDR=5\r\n"},
          Case{"other section", "[Other]\r\nADDR=5\r\n"},
          Case{"no key", "[Config]\r\nMODEL=X\r\n"}}) {
        fs::remove(path_);
        if (c.content) Put(c.content);
        const CIniFile ini(path_);
        EXPECT_EQ(ini.ReadString("ADDR", "dflt"), "dflt") << c.name;
        EXPECT_EQ(ini.ReadString("ADDR"), "") << c.name;
        EXPECT_EQ(ini.ReadInt("ADDR", 77), 77) << c.name;
    }
}

TEST_F(IniFileTest, OnlyTheConfigSectionIsSeen) {
    Put("[Other]\nA=1\n[Config]\nB=2\n\n[Third]\nA=3\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("A", "none"), "none");
    EXPECT_EQ(ini.ReadString("B"), "2");
    ASSERT_TRUE(ini.WriteString("A", "4"));
    EXPECT_EQ(Get(), "[Other]\nA=1\n[Config]\nB=2\nA=4\n\n[Third]\nA=3\n");
}

TEST_F(IniFileTest, IntegerIsTheValueOfTheLeadingDigits) {
    struct Case {
        const char* text;
        int expected;
    };
    for (const Case& c :
         {Case{"12", 12}, Case{" 12abc", 12}, Case{"abc", 0}, Case{"", 0}, Case{"-5", 0},
          Case{"+5", 0}, Case{"0x1F", 0}, Case{"007", 7}, Case{"2147483647", INT_MAX},
          Case{"4294967298", INT_MAX}, Case{"99999999999999999999999999", INT_MAX}}) {
        Put(std::string("[Config]\nBAUD=") + c.text + "\n");
        EXPECT_EQ(CIniFile(path_).ReadInt("BAUD", -1), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(IniFileTest, IntegersAreWrittenAsPlainDecimal) {
    const CIniFile ini(path_);
    for (int value : {0, 7, -42, INT_MAX, INT_MIN}) {
        ASSERT_TRUE(ini.WriteInt("COM", value));
        EXPECT_EQ(Get(), "[Config]\r\nCOM=" + std::to_string(value) + "\r\n");
    }
}

TEST_F(IniFileTest, ReadStringReturnsAtMost1023Characters) {
    const std::string longValue(1500, 'p');
    Put("[Config]\nPATH=" + longValue + "\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("PATH"), longValue.substr(0, 1023));
    EXPECT_EQ(ini.ReadString("MISSING", longValue).size(), 1023u);
}

TEST_F(IniFileTest, WriteReplacesTheLineInPlace) {
    Put("[Config]\r\nA=1\r\n  b = 2  \r\nC=3\r\n");
    ASSERT_TRUE(CIniFile(path_).WriteString("B", "two"));
    EXPECT_EQ(Get(), "[Config]\r\nA=1\r\nB=two\r\nC=3\r\n");
}

TEST_F(IniFileTest, WriteAppendsAtTheEndOfTheSectionBeforeBlankLines) {
    Put("[Config]\r\nA=1\r\n\r\n[Other]\r\nX=1\r\n");
    ASSERT_TRUE(CIniFile(path_).WriteString("B", "2"));
    EXPECT_EQ(Get(), "[Config]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nX=1\r\n");
}

TEST_F(IniFileTest, WriteKeepsBlankLinesAtTheEndOfTheFile) {
    Put("[Config]\r\nA=1\r\n\r\n");
    ASSERT_TRUE(CIniFile(path_).WriteString("A", "2"));
    EXPECT_EQ(Get(), "[Config]\r\nA=2\r\n\r\n");
}

TEST_F(IniFileTest, WriteCreatesTheFileAndTheSection) {
    const CIniFile ini(path_);
    ASSERT_FALSE(ini.Exists());
    ASSERT_TRUE(ini.WriteString("LANGUAGE", "CH"));
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(Get(), "[Config]\r\nLANGUAGE=CH\r\n");

    Put("; notes\r\n[Other]\r\nX=1");
    ASSERT_TRUE(ini.WriteString("LANGUAGE", "EN"));
    EXPECT_EQ(Get(), "; notes\r\n[Other]\r\nX=1\r\n[Config]\r\nLANGUAGE=EN\r\n");
    EXPECT_EQ(ini.ReadString("LANGUAGE"), "EN");
}

TEST_F(IniFileTest, WriteNeverCreatesTheFolder) {
    const std::string missing = (root_ / "absent" / "Config.ini").string();
    const CIniFile ini(missing);
    EXPECT_FALSE(ini.WriteString("ADDR", "1"));
    EXPECT_FALSE(ini.WriteInt("COM", 1));
    EXPECT_FALSE(fs::exists(root_ / "absent"));
    EXPECT_FALSE(ini.Exists());
}

TEST_F(IniFileTest, DuplicateKeyFirstOneWinsAndAWriteReplacesTheFirst) {
    Put("[Config]\nADDR=1\naddr=2\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("ADDR"), "1");
    ASSERT_TRUE(ini.WriteString("ADDR", "9"));
    EXPECT_EQ(Get(), "[Config]\nADDR=9\naddr=2\n");
    EXPECT_EQ(ini.ReadString("ADDR"), "9");
}

TEST_F(IniFileTest, TheFilesOwnLineEndsAreKept) {
    struct Case {
        const char* before;
        const char* after;
    };
    for (const Case& c : {
             Case{"[Config]\nA=1\n", "[Config]\nA=1\nB=2\n"},
             Case{"[Config]\r\nA=1\r\n", "[Config]\r\nA=1\r\nB=2\r\n"},
             Case{"[Config]\nA=1", "[Config]\nA=1\nB=2\n"},
             Case{"[Config]\r\nA=1", "[Config]\r\nA=1\r\nB=2\r\n"},
             // Mixed: every old line keeps its end, the new one takes the majority's.
             Case{"[Config]\nX=0\r\nA=1\n", "[Config]\nX=0\r\nA=1\nB=2\n"},
         }) {
        Put(c.before);
        ASSERT_TRUE(CIniFile(path_).WriteString("B", "2"));
        EXPECT_EQ(Get(), c.after);
    }
}

TEST_F(IniFileTest, ALastLineEndingInACarriageReturnReadsClean) {
    Put("[Config]\r\nA=1\r");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("A"), "1");
    ASSERT_TRUE(ini.WriteString("B", "2"));
    EXPECT_EQ(Get(), "[Config]\r\nA=1\r\nB=2\r\n");
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndKept) {
    Put("\xEF\xBB\xBF[Config]\r\nA=1\r\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("A"), "1");
    ASSERT_TRUE(ini.WriteString("A", "2"));
    EXPECT_EQ(Get(), "\xEF\xBB\xBF[Config]\r\nA=2\r\n");
}

TEST_F(IniFileTest, ReadOnlyFileIsNotWrittenEvenByRoot) {
    const std::string before = "[Config]\r\nLANGUAGE=CH\r\n";
    Put(before);
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    const CIniFile ini(path_);
    EXPECT_FALSE(ini.WriteString("LANGUAGE", "EN"));
    EXPECT_FALSE(ini.WriteString("NEW", "1"));
    EXPECT_EQ(Get(), before);
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Config.ini"});
}

// Mode bits do not bind root: the body runs with an ordinary user's rights,
// in a child of its own (the death-test re-run), and ends it.
[[noreturn]] void AsOrdinaryUser(const fs::path& root, const std::function<bool()>& body) {
    const bool privileged = ::geteuid() == 0;
    // Keeping root as the saved id lets the child clean up afterwards.
    if (privileged && (::setegid(65534) != 0 || ::seteuid(65534) != 0)) std::_Exit(2);
    const bool ok = body();
    if (privileged && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::_Exit(3);
    std::error_code ec;
    fs::permissions(root / "config", fs::perms::owner_all, ec);
    fs::remove_all(root, ec);
    std::exit(ok ? 0 : 1);
}

TEST_F(IniFileTest, ReadOnlyFolderStillTakesChangesToAWritableFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Put("[Config]\r\nLANGUAGE=CH\r\n");
    ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
    ASSERT_EQ(::chmod((root_ / "config").c_str(), 0555), 0);
    EXPECT_EXIT(AsOrdinaryUser(root_,
                               [&] {
                                   const CIniFile ini(path_);
                                   return ini.WriteString("LANGUAGE", "EN") &&
                                          ini.WriteString("NEW", "1") &&
                                          Get() == "[Config]\r\nLANGUAGE=EN\r\nNEW=1\r\n" &&
                                          FolderEntries().size() == 1;
                               }),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(IniFileTest, ReadOnlyFolderWithoutTheFileRefusesTheWrite) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
    ASSERT_EQ(::chmod((root_ / "config").c_str(), 0555), 0);
    EXPECT_EXIT(AsOrdinaryUser(root_,
                               [&] {
                                   const CIniFile ini(path_);
                                   return !ini.WriteString("LANGUAGE", "EN") &&
                                          FolderEntries().empty() &&
                                          ini.ReadString("LANGUAGE", "none") == "none";
                               }),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(IniFileTest, WriteKeepsTheModeAndLeavesNoTempFile) {
    Put("[Config]\nA=1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    ASSERT_TRUE(CIniFile(path_).WriteString("A", "2"));
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Config.ini"});
}

TEST_F(IniFileTest, ACopyLeftByAWriteCutShortIsNeverMoreOpenThanTheFile) {
    // The process dies in the middle of writing the new copy (here the file-size
    // limit kills it): whatever it left must be as private as the settings are.
    Put("[Config]\nPATH=/srv/secret-site\nA=1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    // Forked, not re-executed: the child must write into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    auto child = [&] {
        ::umask(022);
        rlimit small{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &small);
        CIniFile(path_).WriteString("A", "2");
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::KilledBySignal(SIGXFSZ), "");
    const std::vector<std::string> left = FolderEntries();
    ASSERT_EQ(left.size(), 2u);
    for (const std::string& name : left) {
        struct stat st {};
        ASSERT_EQ(::stat((root_ / "config" / name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

TEST_F(IniFileTest, SymlinkedFileIsWrittenThroughNotReplaced) {
    const fs::path real = root_ / "elsewhere.ini";
    Put(real.string(), "[Config]\r\nA=1\r\n");
    fs::create_symlink(real, path_);
    const CIniFile ini(path_);
    EXPECT_TRUE(ini.Exists());
    ASSERT_TRUE(ini.WriteString("A", "2"));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(Get(real.string()), "[Config]\r\nA=2\r\n");
    EXPECT_EQ(ini.ReadString("A"), "2");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Config.ini"});
}

TEST_F(IniFileTest, LinkToAnotherUsersFileIsNotWrittenThrough) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    const fs::path theirs = root_ / "theirs.ini";
    Put(theirs.string(), "[Config]\r\nA=1\r\n");
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    fs::create_symlink(theirs, path_);
    const CIniFile ini(path_);
    EXPECT_FALSE(ini.WriteString("A", "2"));
    EXPECT_EQ(Get(theirs.string()), "[Config]\r\nA=1\r\n");
    EXPECT_TRUE(fs::is_symlink(path_));
}

TEST_F(IniFileTest, DanglingLinkIsLeftAlone) {
    fs::create_symlink(root_ / "nowhere.ini", path_);
    const CIniFile ini(path_);
    EXPECT_FALSE(ini.Exists());
    EXPECT_FALSE(ini.WriteString("A", "1"));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_FALSE(fs::exists(root_ / "nowhere.ini"));
}

TEST_F(IniFileTest, SomethingOtherThanAFileIsNeitherReadNorReplaced) {
    const fs::path fifo = root_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    struct Case {
        const char* name;
        void (*make)(const std::string& path, const fs::path& fifo);
        bool (*stillThere)(const std::string& path);
    };
    for (const Case& c : {
             Case{"folder", [](const std::string&p, const fs::path&) { fs::create_directory(p); },
                  [](const std::string&p) { return fs::is_directory(p); }},
             Case{"fifo", [](const std::string&p, const fs::path&) { ::mkfifo(p.c_str(), 0666); },
                  [](const std::string&p) { return fs::is_fifo(fs::symlink_status(p)); }},
             Case{"link to a fifo",
                  [](const std::string&p, const fs::path&f) { fs::create_symlink(f, p); },
                  [](const std::string&p) { return fs::is_symlink(p); }},
         }) {
        fs::remove_all(path_);
        c.make(path_, fifo);
        const CIniFile ini(path_);
        EXPECT_FALSE(ini.Exists()) << c.name;
        EXPECT_EQ(ini.ReadString("A", "d"), "d") << c.name;  // and does not block
        EXPECT_FALSE(ini.WriteString("A", "1")) << c.name;
        EXPECT_TRUE(c.stillThere(path_)) << c.name;
        EXPECT_TRUE(fs::is_fifo(fifo)) << c.name;
    }
}

TEST_F(IniFileTest, ValueWithALineBreakStaysOnOneLine) {
    Put("[Config]\r\nB=1\r\n");
    const CIniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("PATH", "a\r\nB=evil\n[Other]\rc"));
    EXPECT_EQ(ini.ReadString("B"), "1");
    EXPECT_EQ(ini.ReadString("PATH"), "a  B=evil [Other] c");
    EXPECT_EQ(Get(), "[Config]\r\nB=1\r\nPATH=a  B=evil [Other] c\r\n");
}

TEST_F(IniFileTest, BinaryGarbageReadsAsMissingAndCanBeWrittenOver) {
    std::string garbage;
    uint32_t state = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    garbage += "\n";
    Put(garbage);
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("ADDR", "none"), "none");
    EXPECT_EQ(ini.ReadInt("ADDR", 3), 3);
    ASSERT_TRUE(ini.WriteString("ADDR", "5"));
    EXPECT_EQ(ini.ReadInt("ADDR", 3), 5);
    const std::string after = Get();
    EXPECT_EQ(after.substr(0, garbage.size()), garbage);
    EXPECT_EQ(after.substr(garbage.size()), "[Config]\nADDR=5\n");
}

TEST_F(IniFileTest, AOneMegabyteLineDoesNotDisturbTheOtherKeys) {
    const std::string huge(1 << 20, '7');
    const std::string before = "[Config]\r\nBIG=" + huge + "\r\nCOM=3\r\n";
    Put(before);
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("BIG").size(), 1023u);
    EXPECT_EQ(ini.ReadInt("BIG", 0), INT_MAX);
    EXPECT_EQ(ini.ReadInt("COM", 0), 3);
    ASSERT_TRUE(ini.WriteInt("COM", 4));
    EXPECT_EQ(Get(), "[Config]\r\nBIG=" + huge + "\r\nCOM=4\r\n");
}

TEST_F(IniFileTest, EntriesBeforeAnySectionHeaderAreNotInTheSection) {
    Put("ADDR=1\nCOM=2\n");
    const CIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("ADDR", "none"), "none");
    ASSERT_TRUE(ini.WriteString("ADDR", "7"));
    EXPECT_EQ(Get(), "ADDR=1\nCOM=2\n[Config]\nADDR=7\n");
    EXPECT_EQ(ini.ReadString("ADDR"), "7");
}

}  // namespace
