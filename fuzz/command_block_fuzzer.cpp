// Configuration line splitting and number parsing on any text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "params/korvane_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Korvane_string line(std::string_view(reinterpret_cast<const char*>(data), size));
    Korvane_string key, values;
    if (line.getCommandBlock(&key, &values)) {
        const std::string_view k = key.view();
        if (k.empty() || k.find('=') != std::string_view::npos) std::abort();
        if (k.front() == ' ' || k.back() == ' ' || k.front() == ';' || k.front() == '#') std::abort();
        if (key.length() + values.length() >= line.length()) std::abort();  // the '=' is in neither
    }
    (void)line.toInt();
    const float f = line.toFloat();
    if (std::isnan(f)) std::abort();
    Korvane_string copy = line;
    copy += f;  // appending at any length stays inside the object
    copy += line.toInt();
    if (copy.length() > Korvane_string::kMaxLength) std::abort();
    return 0;
}
