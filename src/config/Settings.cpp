#include "Settings.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <fstream>
#include <system_error>

#include "FilePrefix.h"

namespace {

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// Where the leading number of a text sits.
struct NumberText {
    bool found = false;
    bool negative = false;
    size_t mantissaBegin = 0;  // after the sign
    size_t mantissaEnd = 0;    // after the digits and the point
    size_t end = 0;            // after a complete exponent, if any
    size_t decimals = 0;       // digits after the point
};

// Scanned by hand so that nothing but [blanks][sign]digits[.digits][e[sign]digits]
// counts: strtod and from_chars would also take "inf", "nan" or hex, and strtod
// the locale's decimal point.
NumberText ScanNumber(const std::string& t) {
    NumberText n;
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        n.negative = t[i] == '-';
        ++i;
    }
    n.mantissaBegin = i;
    size_t digits = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i) ++digits;
    if (i < t.size() && t[i] == '.') {
        for (++i; i < t.size() && IsDigit(t[i]); ++i) ++n.decimals;
    }
    if (digits + n.decimals == 0) return n;
    n.found = true;
    n.mantissaEnd = i;
    n.end = i;
    // "1e" or "1e+" keep just the 1: the exponent counts only with its digits.
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        if (j < t.size() && IsDigit(t[j])) {
            while (j < t.size() && IsDigit(t[j])) ++j;
            n.end = j;
        }
    }
    return n;
}

// Roughly the power of ten of the number's first significant digit; only its
// sign matters, to tell an overflow from an underflow. Zero has no order (0).
long long DecimalOrder(const std::string& t, const NumberText& n) {
    const size_t point = t.find('.', n.mantissaBegin);
    const size_t pointAt = point < n.mantissaEnd ? point : n.mantissaEnd;
    size_t first = n.mantissaBegin;
    while (first < n.mantissaEnd && (t[first] == '0' || t[first] == '.')) ++first;
    if (first == n.mantissaEnd) return 0;
    long long order = first < pointAt ? static_cast<long long>(pointAt - first) - 1
                                      : -static_cast<long long>(first - pointAt);
    if (n.end > n.mantissaEnd) {
        size_t i = n.mantissaEnd + 1;
        const bool negative = t[i] == '-';
        if (t[i] == '+' || t[i] == '-') ++i;
        long long exponent = 0;
        for (; i < n.end; ++i) exponent = std::min(exponent * 10 + (t[i] - '0'), 1000000000LL);
        order += negative ? -exponent : exponent;
    }
    return order;
}

// A double outside float range would make the conversion undefined.
float ToFloat(double value) {
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

bool FileReadable(const CIniFile& ini) {
    if (!ini.Exists()) return false;
    std::ifstream in(ini.Path(), std::ios::binary);
    return in.is_open();
}

}  // namespace

double LeadingNumber(const std::string& text) {
    const NumberText n = ScanNumber(text);
    if (!n.found) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(text.data() + n.mantissaBegin, text.data() + n.end, value);
    if (result.ec == std::errc::result_out_of_range)
        value = DecimalOrder(text, n) > 0 ? DBL_MAX : 0.0;
    else if (result.ec != std::errc())
        value = 0.0;
    return n.negative ? -value : value;
}

float ResolutionFromText(const std::string& text) {
    const float factor = ToFloat(LeadingNumber(text));
    if (factor > 0.01f) return 0.01f;
    // Every reading is multiplied by the factor: zero would show a flat 0 and a
    // negative one mirrored angles, both looking like a working sensor. The
    // built-in scale keeps the readings right for the usual devices, and the
    // odd text stays visible in the list.
    if (!(factor > 0.0f)) return 0.01f;
    return factor;
}

std::string SelectValueFormat(const std::string& resolutionText, const std::string& current) {
    switch (resolutionText.size()) {
        case 3:
            return current;
        case 4:
            return "%.2f";
        case 5:
            return "%.3f";
        case 6:
            return "%.4f";
        default:
            break;
    }
    // A text that is no usable resolution leaves the factor at its default
    // (ResolutionFromText), so the decimals stay as they were too.
    const NumberText n = ScanNumber(resolutionText);
    if (!n.found || !(LeadingNumber(resolutionText) > 0.0)) return current;
    // More than six decimals is below what the sensors resolve and only widens the columns.
    return "%." + std::to_string(std::min<size_t>(n.decimals, 6)) + "f";
}

void LoadSettings(const CIniFile& ini, Settings& s, SettingsView& view, int languageFlag) {
    if (!ini.Exists()) {
        // The language this first run shows, so that the next run shows it too.
        ini.WriteString("LANGUAGE", languageFlag == 1 ? "EN" : "CH");
        ini.WriteString("MODEL", s.CsvPrefix);
        ini.WriteInt("PROTOCOL", 0);
        ini.WriteString("ADDR", "0");
        ini.WriteString("xRange", "90deg");
        ini.WriteString("yRange", "90deg");
        ini.WriteString("Ratio", "0.01");
        ini.WriteString("PATH", s.CsvFolder);
        ini.WriteInt("COM", 1);
        ini.WriteInt("BAUD", 2);
        ini.WriteInt("PARITY", 0);
        return;
    }

    std::string text = ini.ReadString("MODEL");
    if (FilePrefixAllowed(text))
        s.CsvPrefix = text;
    else if (!text.empty())
        view.RefuseModel(text);
    text = ini.ReadString("PATH");
    if (!text.empty()) s.CsvFolder = text;
    text = ini.ReadString("ADDR");
    if (!text.empty()) s.AddressText = text;
    view.SetAddressFieldText(s.AddressText);

    view.SelectBaudIndex(ini.ReadInt("BAUD", 0));
    view.SelectParityIndex(ini.ReadInt("PARITY", 0));

    text = ini.ReadString("xRange");
    if (!text.empty()) {
        s.XRangeText = text;
        s.XRangeOffset = ToFloat(LeadingNumber(text));
    }
    text = ini.ReadString("yRange");
    if (!text.empty()) {
        s.YRangeText = text;
        s.YRangeOffset = ToFloat(LeadingNumber(text));
    }
    text = ini.ReadString("Ratio");
    if (!text.empty()) {
        s.ResolutionText = text;
        s.ValueFormat = SelectValueFormat(text, s.ValueFormat);
        s.ResolutionFactor = ResolutionFromText(text);
    }

    // Any other value keeps the read every sensor of the family answers in full.
    if (ini.ReadInt("REGISTERS", s.ModbusRegisters) == 5) s.ModbusRegisters = 5;
    // Read, never written: the first-start file keeps its keys.
    const int interval = ini.ReadInt("BUS_INTERVAL_MS", s.BusIntervalMs);
    if (interval >= 1 && interval <= 60000) s.BusIntervalMs = interval;

    view.SelectProtocolIndex(ini.ReadInt("PROTOCOL", 0));
    view.ApplyProtocol();
}

int LanguageFlagFromConfig(const CIniFile& ini, int systemLanguageId) {
    // A file that names no language has not chosen one: the desktop's language
    // is the better guess than either fixed one.
    if (!FileReadable(ini) || !ini.HasKey("LANGUAGE")) return systemLanguageId == 2052 ? 0 : 1;
    const std::string value = ini.ReadString("LANGUAGE").substr(0, 3);
    return value.compare(0, 2, "CH") == 0 ? 0 : 1;
}

bool StoreLanguageChoice(const CIniFile& ini, int flag) {
    if (!ini.Exists()) return false;
    // "Restart to take effect" would be untrue if the choice was not stored (a
    // read-only file), so the message is due only when the write went through.
    return ini.WriteString("LANGUAGE", flag == 1 ? "EN" : "CH");
}
