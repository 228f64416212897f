#pragma once

#include <string>

// The one number format of the readout, the chart readout and the CSV rows, so
// the window and tiltlog print a measurement alike.

// Only "%.<0..6>f" counts: the format comes from a settings file a user may edit.
bool IsValueFormat(const std::string& format);

// `value` printed with `format`, or with "%.2f" when `format` is no value format.
std::string FormatValueText(const std::string& format, double value);
