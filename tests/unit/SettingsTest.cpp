#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Settings.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChinese = 0;  // LanguageFlag values
constexpr int kEnglish = 1;

// Records what LoadSettings does to the window, in order.
class RecordingView : public SettingsView {
public:
    void SelectBaudIndex(int index) override { calls.push_back("baud " + std::to_string(index)); }
    void SelectParityIndex(int index) override {
        calls.push_back("parity " + std::to_string(index));
    }
    void SelectProtocolIndex(int index) override {
        calls.push_back("protocol " + std::to_string(index));
    }
    void ApplyProtocol() override { calls.push_back("apply"); }
    void SetAddressFieldText(const std::string& text) override {
        calls.push_back("address '" + text + "'");
    }
    void RefuseModel(const std::string& text) override { calls.push_back("refuse " + text); }
    std::vector<std::string> calls;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tiltscope-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "config");
        path_ = (root_ / "config" / "Config.ini").string();
        settings_.CsvFolder = "/opt/tiltscope/data";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    void Put(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Loads `body` under the section header.
    void Load(const std::string& body) {
        Put("[Config]\r\n" + body);
        LoadSettings(CIniFile(path_), settings_, view_, kChinese);
    }

    fs::path root_;
    std::string path_;
    Settings settings_;
    RecordingView view_;
};

void ExpectBuiltIns(const Settings& s) {
    EXPECT_EQ(s.CsvPrefix, "Tiltscope");
    EXPECT_EQ(s.CsvFolder, "/opt/tiltscope/data");
    EXPECT_EQ(s.AddressText, "");
    EXPECT_EQ(s.XRangeText, "90deg");
    EXPECT_EQ(s.YRangeText, "90deg");
    EXPECT_EQ(s.XRangeOffset, 90.0f);
    EXPECT_EQ(s.YRangeOffset, 90.0f);
    EXPECT_EQ(s.ResolutionText, "0.01");
    EXPECT_EQ(s.ResolutionFactor, 0.01f);
    EXPECT_EQ(s.ValueFormat, "%.2f");
}

TEST_F(SettingsTest, FirstStartWritesTheElevenKeysInOrderAndAppliesNothing) {
    LoadSettings(CIniFile(path_), settings_, view_, kChinese);
    EXPECT_EQ(Get(),
              "[Config]\r\nLANGUAGE=CH\r\nMODEL=Tiltscope\r\nPROTOCOL=0\r\nADDR=0\r\n"
              "xRange=90deg\r\nyRange=90deg\r\nRatio=0.01\r\nPATH=/opt/tiltscope/data\r\n"
              "COM=1\r\nBAUD=2\r\nPARITY=0\r\n");
    EXPECT_TRUE(view_.calls.empty());
    ExpectBuiltIns(settings_);
}

TEST_F(SettingsTest, FirstStartInEnglishRecordsEnglish) {
    LoadSettings(CIniFile(path_), settings_, view_, kEnglish);
    EXPECT_EQ(Get().rfind("[Config]\r\nLANGUAGE=EN\r\nMODEL=Tiltscope\r\n", 0), 0u) << Get();
}

TEST_F(SettingsTest, FirstStartWithoutTheFolderWritesNothing) {
    fs::remove(root_ / "config");
    LoadSettings(CIniFile(path_), settings_, view_, kChinese);
    EXPECT_FALSE(fs::exists(root_ / "config"));
    EXPECT_TRUE(view_.calls.empty());
    ExpectBuiltIns(settings_);
}

TEST_F(SettingsTest, StoredSettingsAreAppliedInOrderWithoutWritingAnything) {
    const std::string file =
        "[Config]\r\nLANGUAGE=EN\r\nMODEL=TL-2\r\nPROTOCOL=1\r\nADDR=7\r\nxRange=45deg\r\n"
        "yRange=30\r\nRatio=0.001\r\nPATH=/srv/csv\r\nCOM=3\r\nBAUD=5\r\nPARITY=2\r\n";
    Put(file);
    LoadSettings(CIniFile(path_), settings_, view_, kChinese);
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"address '7'", "baud 5", "parity 2",
                                                     "protocol 1", "apply"}));
    EXPECT_EQ(settings_.CsvPrefix, "TL-2");
    EXPECT_EQ(settings_.CsvFolder, "/srv/csv");
    EXPECT_EQ(settings_.AddressText, "7");
    EXPECT_EQ(settings_.XRangeText, "45deg");
    EXPECT_EQ(settings_.XRangeOffset, 45.0f);
    EXPECT_EQ(settings_.YRangeText, "30");
    EXPECT_EQ(settings_.YRangeOffset, 30.0f);
    EXPECT_EQ(settings_.ResolutionText, "0.001");
    EXPECT_EQ(settings_.ResolutionFactor, 0.001f);
    EXPECT_EQ(settings_.ValueFormat, "%.3f");
    EXPECT_EQ(Get(), file);  // PROTOCOL in particular is not written back
}

TEST_F(SettingsTest, EmptyFileKeepsTheBuiltInsAndSelectsTheFirstEntries) {
    Put("");
    LoadSettings(CIniFile(path_), settings_, view_, kChinese);
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"address ''", "baud 0", "parity 0",
                                                     "protocol 0", "apply"}));
    ExpectBuiltIns(settings_);
    EXPECT_EQ(Get(), "");
    // A file that names no language leaves it to the desktop.
    EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 1033), 1);
    EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 2052), 0);
}

TEST_F(SettingsTest, EmptyValuesKeepTheBuiltIns) {
    Load("MODEL=\r\nPATH= \r\nADDR=\r\nxRange=\r\nyRange=\r\nRatio=\r\n");
    ExpectBuiltIns(settings_);
    EXPECT_EQ(view_.calls.front(), "address ''");
}

TEST_F(SettingsTest, ModelThatLeadsOutOfTheDataFolderIsRefusedAndTheBuiltInKept) {
    const std::vector<std::string> models = {
        "../../escaped-x", "a/b", "..", ".", "x..y", "tab\there", std::string(237, 'm')};
    for (const std::string& model : models) {
        SCOPED_TRACE(model);
        view_.calls.clear();
        settings_ = Settings{};
        Load("MODEL=" + model + "\r\n");
        EXPECT_EQ(settings_.CsvPrefix, "Tiltscope");
        EXPECT_EQ(view_.calls.front(), "refuse " + model);
    }
    view_.calls.clear();
    Load("MODEL=TL-2 (dam 3)\r\n");
    EXPECT_EQ(settings_.CsvPrefix, "TL-2 (dam 3)");
    EXPECT_EQ(view_.calls.front(), "address ''");
}

TEST_F(SettingsTest, AddressFieldAlwaysShowsTheAddressText) {
    struct Case {
        const char* body;
        const char* field;
    };
    for (const Case& c : {Case{"ADDR=12\r\n", "address '12'"}, Case{"ADDR=\r\n", "address ''"},
                          Case{"COM=1\r\n", "address ''"}}) {
        settings_ = Settings{};
        view_.calls.clear();
        Load(c.body);
        ASSERT_FALSE(view_.calls.empty());
        EXPECT_EQ(view_.calls.front(), c.field) << c.body;
    }
}

TEST_F(SettingsTest, BaudParityAndProtocolAreSelectedByIndexAsStored) {
    Load("BAUD=9\r\nPARITY=x\r\nPROTOCOL=2\r\n");
    // Out-of-range indexes go to the lists unchanged: an index outside a list
    // leaves it without a selection, which is the window's business.
    EXPECT_EQ(view_.calls, (std::vector<std::string>{"address ''", "baud 9", "parity 0",
                                                     "protocol 2", "apply"}));
}

TEST_F(SettingsTest, RangeTextIsKeptAndItsLeadingNumberBecomesTheOffset) {
    struct Case {
        const char* text;
        float offset;
    };
    for (const Case& c : {Case{"45", 45.0f}, Case{"deg90", 0.0f}, Case{"-12.5deg", -12.5f},
                          Case{"1e300", FLT_MAX}, Case{"-1e300deg", -FLT_MAX}}) {
        settings_ = Settings{};
        Load(std::string("xRange=") + c.text + "\r\nyRange=" + c.text + "\r\n");
        EXPECT_EQ(settings_.XRangeText, c.text);
        EXPECT_EQ(settings_.YRangeText, c.text);
        EXPECT_EQ(settings_.XRangeOffset, c.offset) << c.text;
        EXPECT_EQ(settings_.YRangeOffset, c.offset) << c.text;
    }
}

TEST_F(SettingsTest, RatioSetsTextFormatAndFactor) {
    struct Case {
        const char* text;
        float factor;
        const char* format;
    };
    for (const Case& c : {Case{"0.01", 0.01f, "%.2f"}, Case{"0.1", 0.01f, "%.2f"},
                          Case{"0.0001", 0.0001f, "%.4f"}, Case{"0.001", 0.001f, "%.3f"},
                          Case{"0.00001", 0.00001f, "%.5f"}, Case{"0", 0.01f, "%.2f"}}) {
        settings_ = Settings{};
        Load(std::string("Ratio=") + c.text + "\r\n");
        EXPECT_EQ(settings_.ResolutionText, c.text);
        EXPECT_EQ(settings_.ResolutionFactor, c.factor) << c.text;
        EXPECT_EQ(settings_.ValueFormat, c.format) << c.text;
    }
}

TEST(LeadingNumber, TakesTheLongestDecimalPrefix) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c : {
             Case{"90deg", 90},     Case{"deg90", 0},       Case{"", 0},        Case{"45", 45},
             Case{"-12.5x", -12.5}, Case{"+3", 3},          Case{" \t7", 7},    Case{".5", 0.5},
             Case{"5.", 5},         Case{"1e3deg", 1000},   Case{"2E-2", 0.02}, Case{"1e", 1},
             Case{"1e+", 1},        Case{"1.5e-x", 1.5},    Case{".", 0},       Case{"-", 0},
             Case{"-.", 0},         Case{"e5", 0},          Case{"0x10", 0},    Case{"1,5", 1},
             Case{"inf", 0},        Case{"-infinity", 0},   Case{"nan", 0},     Case{"1..2", 1},
             Case{"--1", 0},        Case{"00012.50", 12.5},
         }) {
        EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(LeadingNumber, OutOfRangeIsClampedNeverInfinite) {
    struct Case {
        std::string text;
        double value;
    };
    const std::string manyDigits(100000, '9');
    for (const Case& c : {
             Case{"1e999", DBL_MAX},
             Case{"-1e999deg", -DBL_MAX},
             Case{"1e99999999999999999999999", DBL_MAX},
             Case{manyDigits, DBL_MAX},
             Case{"1e-999", 0},
             Case{"0." + std::string(400, '0') + "1", 0},
             Case{"1e-99999999999999999999999", 0},
             Case{"0e99999", 0},
             Case{manyDigits + "e-100000", 1.0},
         }) {
        EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text.substr(0, 40);
    }
}

TEST(ResolutionFromText, IsNeverAboveOneHundredthAndNeverZeroOrNegative) {
    struct Case {
        const char* text;
        float factor;
    };
    for (const Case& c :
         {Case{"0.01", 0.01f}, Case{"0.1", 0.01f}, Case{"1", 0.01f}, Case{"0.0100000001", 0.01f},
          Case{"0.005", 0.005f}, Case{"0.0001deg", 0.0001f}, Case{"1e-40", 1e-40f},
          Case{"0", 0.01f}, Case{"-0.001", 0.01f}, Case{"abc", 0.01f}, Case{"", 0.01f},
          Case{"1e-50", 0.01f}, Case{"1e999", 0.01f}}) {
        EXPECT_EQ(ResolutionFromText(c.text), c.factor) << '"' << c.text << '"';
    }
}

TEST(SelectValueFormat, FollowsTheLengthOrTheDecimalsOfTheText) {
    struct Case {
        const char* text;
        const char* format;
    };
    const char* current = "%.5f";
    for (const Case& c : {
             // By length.
             Case{"0.01", "%.2f"},
             Case{"1.00", "%.2f"},
             Case{"1e-5", "%.2f"},
             Case{"0.001", "%.3f"},
             Case{"0.0001", "%.4f"},
             Case{"0.1", current},
             Case{"abc", current},
             // Other lengths: decimals of the leading number, at most six.
             Case{"", current},
             Case{"x", current},
             Case{"garbage!", current},
             Case{"0", current},
             Case{"-0.00001", current},
             Case{"1", "%.0f"},
             Case{"10", "%.0f"},
             Case{".5", "%.1f"},
             Case{"0.00001", "%.5f"},
             Case{"0.000001", "%.6f"},
             Case{"0.0000001", "%.6f"},
             Case{"0.00001deg", "%.5f"},
             Case{"1234567", "%.0f"},
         }) {
        EXPECT_EQ(SelectValueFormat(c.text, current), c.format) << '"' << c.text << '"';
    }
}

TEST_F(SettingsTest, LanguageFromAnExistingFile) {
    struct Case {
        const char* body;
        int flag;
    };
    for (const Case& c :
         {Case{"LANGUAGE=EN\r\n", 1}, Case{"LANGUAGE=ch\r\n", 1}, Case{"LANGUAGE=\r\n", 1},
          Case{"LANGUAGE=FR\r\n", 1}, Case{"LANGUAGE=C\r\n", 1}, Case{"LANGUAGE=XCH\r\n", 1},
          Case{"LANGUAGE=CHX\r\n", 0}, Case{"LANGUAGE=CH\r\n", 0}, Case{"language = CH \r\n", 0}}) {
        Put(std::string("[Config]\r\n") + c.body);
        // The system language has no say while the file exists.
        EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 2052), c.flag) << c.body;
        EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 1033), c.flag) << c.body;
    }
}

TEST_F(SettingsTest, LanguageWithoutAFileFollowsTheSystem) {
    const CIniFile ini(path_);
    EXPECT_EQ(LanguageFlagFromConfig(ini, 2052), 0);
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 1);
    EXPECT_EQ(LanguageFlagFromConfig(ini, 0), 1);
}

TEST_F(SettingsTest, FileWithoutLanguageFollowsTheSystem) {
    for (const char* body : {"[Config]\r\nMODEL=X\r\n", "[Other]\r\nLANGUAGE=CH\r\n"}) {
        Put(body);
        EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 2052), 0) << body;
        EXPECT_EQ(LanguageFlagFromConfig(CIniFile(path_), 1033), 1) << body;
    }
}

TEST_F(SettingsTest, RunsAfterAnEnglishFirstStartStayEnglish) {
    const CIniFile ini(path_);
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 1);
    LoadSettings(ini, settings_, view_, LanguageFlagFromConfig(ini, 1033));
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 1);
    // The desktop's language may change later; the stored choice stays.
    EXPECT_EQ(LanguageFlagFromConfig(ini, 2052), 1);
}

TEST_F(SettingsTest, RunsAfterAChineseFirstStartStayChinese) {
    const CIniFile ini(path_);
    LoadSettings(ini, settings_, view_, LanguageFlagFromConfig(ini, 2052));
    EXPECT_EQ(LanguageFlagFromConfig(ini, 2052), 0);
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 0);
}

TEST_F(SettingsTest, LanguageChoiceIsStoredOnlyInAnExistingFile) {
    const CIniFile ini(path_);
    EXPECT_FALSE(StoreLanguageChoice(ini, 1));
    EXPECT_FALSE(ini.Exists());

    Put("[Config]\r\nLANGUAGE=CH\r\nMODEL=X\r\n");
    EXPECT_TRUE(StoreLanguageChoice(ini, 1));
    EXPECT_EQ(Get(), "[Config]\r\nLANGUAGE=EN\r\nMODEL=X\r\n");
    EXPECT_EQ(LanguageFlagFromConfig(ini, 2052), 1);
    EXPECT_TRUE(StoreLanguageChoice(ini, 0));
    EXPECT_EQ(Get(), "[Config]\r\nLANGUAGE=CH\r\nMODEL=X\r\n");
    EXPECT_TRUE(StoreLanguageChoice(ini, 0));  // the same choice again is stored again
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 0);
}

TEST_F(SettingsTest, ReadOnlyFileGetsNoRestartMessage) {
    const CIniFile ini(path_);
    Put("[Config]\r\nLANGUAGE=CH\r\n");
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
    EXPECT_FALSE(StoreLanguageChoice(ini, 1));
    EXPECT_EQ(LanguageFlagFromConfig(ini, 1033), 0);
}

}  // namespace
