// RecordedReports: while it lives, the reporter in use (platform/reporter.h),
// keeping each line reported, and its kind, in order.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/reporter.h"

namespace krovane::test {

struct RecordedReports final : krovane::platform::Reporter {
    RecordedReports() : before(krovane::platform::useReporter(this)) {}
    ~RecordedReports() override { krovane::platform::useReporter(before); }
    void report(krovane::platform::ReportKind kind, std::string_view line) override { lines.emplace_back(kind, line); }

    krovane::platform::Reporter* before;
    std::vector<std::pair<krovane::platform::ReportKind, std::string>> lines;
};

}  // namespace krovane::test
