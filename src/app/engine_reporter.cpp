#include "app/engine_reporter.h"

#include <cstdio>

#include "platform/code_page_1251.h"

namespace krovane::app {

using krovane::platform::ReportKind;

EngineReporter::EngineReporter() : before_(krovane::platform::useReporter(this)) {}

EngineReporter::~EngineReporter() {
    // Another made since, and still in use, stays so.
    krovane::platform::Reporter* now = krovane::platform::useReporter(before_);
    if (now != this) krovane::platform::useReporter(now);
}

void EngineReporter::attach(krovane::log::Log* log) {
    log_ = log;
    if (log_ == nullptr) return;
    for (const auto& [kind, line] : waiting_) report(kind, line);
    waiting_.clear();
}

void EngineReporter::report(ReportKind kind, std::string_view line) {
    if (kind == ReportKind::Debug) {
        std::fprintf(stderr, "%s\n", krovane::cp1251ToUtf8(line).c_str());
    } else if (log_ == nullptr) {
        if (waiting_.size() < kMostWaiting) waiting_.emplace_back(kind, line);
    } else {
        log_->Print(Korvane_string(line), kind == ReportKind::Reason ? MessageType::Error : MessageType::Comment);
    }
}

}  // namespace krovane::app
