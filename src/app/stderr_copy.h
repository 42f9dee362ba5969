// StderrCopy: what a tool hands the engine's log (ConsoleLog::copyErrorsTo)
// to have its Error lines on stderr as well, as UTF-8, each text once, so
// that a reason said by two parts (the default effect, built by the renderer
// and again by the effect manager) is not read twice.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/code_page_1251.h"
#include "platform/reporter.h"

namespace krovane::app {

class StderrCopy final : public krovane::platform::Reporter {
public:
    void report(krovane::platform::ReportKind, std::string_view line) override {
        if (written_.emplace(line).second) std::fprintf(stderr, "%s\n", krovane::cp1251ToUtf8(line).c_str());
    }

private:
    std::unordered_set<std::string> written_;
};

}  // namespace krovane::app
