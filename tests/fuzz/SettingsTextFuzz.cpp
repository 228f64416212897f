// The number texts an operator types or a settings file holds: ranges and
// resolutions. None may crash, overflow or yield a format outside "%.<0..6>f".
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Settings.h"
#include "ValueText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const double n = LeadingNumber(text);
    if (std::isnan(n) || std::isinf(n)) std::abort();

    const float factor = ResolutionFromText(text);
    if (!(factor > 0.0f) || factor > 0.01f) std::abort();

    const std::string format = SelectValueFormat(text, "%.2f");
    if (!IsValueFormat(format)) std::abort();
    FormatValueText(format, n);
    FormatValueText(text, n);  // an arbitrary text as a format falls back safely
    return 0;
}
