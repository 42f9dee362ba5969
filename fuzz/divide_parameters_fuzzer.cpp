// Command word splitting on any text: dividing again and again yields the
// text's words in order and ends.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/korvane_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Korvane_string rest(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string expected;  // the words joined by one blank
    {
        const std::string_view s = rest.view();
        std::size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
            const std::size_t start = i;
            while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
            if (i > start) {
                if (!expected.empty()) expected += ' ';
                expected.append(s.substr(start, i - start));
            }
        }
    }
    std::string joined;
    Korvane_string word;
    for (unsigned guard = 0; guard <= Korvane_string::kMaxLength; ++guard) {
        const bool found = rest.DivideTwoParameters(&word, &rest);
        if (!found) {
            if (!word.empty() || !rest.empty()) std::abort();
            break;
        }
        if (word.view().find_first_of(" \t") != std::string_view::npos) std::abort();
        if (!joined.empty()) joined += ' ';
        joined.append(word.view());
    }
    if (joined != expected) std::abort();
    return 0;
}
