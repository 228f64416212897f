#pragma once

#include <string>

// The one number format of the readout, the chart readout and the CSV rows, so
// the window and tiltlog print a measurement alike.

// Only "%.<0..6>f" counts: the format comes from a settings file a user may edit.
bool IsValueFormat(const std::string& format);

// Number texts as printf writes them in the C locale, whatever locale the
// process runs in: a decimal comma would split every CSV field in two, and
// the window, its files and tiltlog must read alike.
// Fixed notation, as "%.<decimals>f".
std::string FixedText(double value, int decimals);
// General notation with at most `significant` digits, as "%.<significant>g".
std::string GeneralText(double value, int significant);

// `value` printed with `format`, or with "%.2f" when `format` is no value format.
std::string FormatValueText(const std::string& format, double value);

// One value of the readout and the CSV rows. A sensor may never send it (no
// temperature in its replies): then it has no text, so that no reading is
// made up. Once sent, it keeps its last reading through replies that lack it.
class KeptValue {
public:
    // `sent`: the reply carried the value.
    void Take(bool sent, double value) {
        if (!sent) return;
        value_ = value;
        received_ = true;
    }
    bool Received() const { return received_; }
    // The last reading with `format` (as FormatValueText), empty before the first.
    std::string Text(const std::string& format) const {
        return received_ ? FormatValueText(format, value_) : std::string();
    }

private:
    double value_ = 0.0;
    bool received_ = false;
};
