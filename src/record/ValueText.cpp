#include "ValueText.h"

#include <cstdio>

bool IsValueFormat(const std::string& format) {
    return format.size() == 4 && format[0] == '%' && format[1] == '.' && format[2] >= '0' &&
           format[2] <= '6' && format[3] == 'f';
}

std::string FormatValueText(const std::string& format, double value) {
    char text[64];
    // A magnitude beyond 1e40 cannot come from a sensor; it is cut rather than overflow.
    std::snprintf(text, sizeof text, IsValueFormat(format) ? format.c_str() : "%.2f", value);
    return text;
}
