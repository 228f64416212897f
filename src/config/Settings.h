#pragma once

#include <string>

#include "IniFile.h"

// The settings the main window keeps in memory for the life of the process,
// with their built-in values.
struct Settings {
    std::string CsvPrefix = "Tiltscope";
    std::string CsvFolder;  // the window sets the default data folder
    std::string AddressText;
    std::string XRangeText = "90deg";
    std::string YRangeText = "90deg";
    float XRangeOffset = 90.0f;
    float YRangeOffset = 90.0f;
    std::string ResolutionText = "0.01";
    float ResolutionFactor = 0.01f;
    std::string ValueFormat = "%.2f";
    // REGISTERS: Modbus reads ask for 4 registers (X, Y) or 5 (and the temperature).
    int ModbusRegisters = 4;
    // BUS_INTERVAL_MS: on a bus, each sensor asked at most once per this many
    // milliseconds (1 to 60000); 1 asks as fast as the line allows.
    int BusIntervalMs = 200;
};

// What LoadSettings changes on the window besides Settings.
class SettingsView {
public:
    virtual ~SettingsView() = default;
    virtual void SelectBaudIndex(int index) = 0;
    virtual void SelectParityIndex(int index) = 0;
    virtual void SelectProtocolIndex(int index) = 0;
    // Applies the selected protocol as a change of the protocol list would,
    // without writing PROTOCOL back.
    virtual void ApplyProtocol() = 0;
    virtual void SetAddressFieldText(const std::string& text) = 0;
    // MODEL names no file in the data folder; the built-in prefix stays.
    virtual void RefuseModel(const std::string& text) = 0;
};

// Takes the stored settings into `s` and `view`. Without a file, writes the
// defaults instead and applies nothing, so the first run keeps its built-ins;
// LANGUAGE then records `languageFlag`, the language this run shows.
void LoadSettings(const CIniFile& ini, Settings& s, SettingsView& view, int languageFlag);

// The longest prefix of `text` that reads as a decimal floating-point number,
// after leading blanks; 0 when there is none ("90deg" -> 90, "deg90" -> 0).
// Independent of the C locale. Never inf or nan: "inf"/"nan" are not numbers
// here, a value beyond double range becomes the largest finite one of its sign,
// and one too small to represent becomes 0.
double LeadingNumber(const std::string& text);

// The conversion factor for a resolution text: its leading number as a float,
// lowered to 0.01 when larger. Zero or negative gives 0.01 too.
float ResolutionFromText(const std::string& text);

// The printf format of the shown values for a resolution text: 4, 5 and 6
// characters give two, three and four decimals, 3 characters keep `current`.
// Any other length counts the decimals of the leading number (at most 6);
// a text that does not start with a positive number keeps `current`.
std::string SelectValueFormat(const std::string& resolutionText, const std::string& current);

// 0 (Chinese) or 1 (English). A readable file's LANGUAGE decides ("CH..." is
// Chinese, any other value English); without one the system language does
// (2052: Chinese).
int LanguageFlagFromConfig(const CIniFile& ini, int systemLanguageId);

// The language buttons: stores "EN" for flag 1, "CH" otherwise, only when the
// file exists. True when the choice was stored, i.e. when the restart message is due.
bool StoreLanguageChoice(const CIniFile& ini, int flag);
