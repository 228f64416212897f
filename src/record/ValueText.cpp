#include "ValueText.h"

#include <charconv>

namespace {

// Room for any double in fixed notation with six decimals (DBL_MAX has 309 digits).
constexpr size_t kTextRoom = 330;

std::string CharsText(double value, std::chars_format format, int precision) {
    char text[kTextRoom];
    const auto result = std::to_chars(text, text + sizeof text, value, format, precision);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

}  // namespace

bool IsValueFormat(const std::string& format) {
    return format.size() == 4 && format[0] == '%' && format[1] == '.' && format[2] >= '0' &&
           format[2] <= '6' && format[3] == 'f';
}

std::string FixedText(double value, int decimals) {
    return CharsText(value, std::chars_format::fixed, decimals);
}

std::string GeneralText(double value, int significant) {
    return CharsText(value, std::chars_format::general, significant);
}

std::string FormatValueText(const std::string& format, double value) {
    return FixedText(value, IsValueFormat(format) ? format[2] - '0' : 2);
}
