#include "platform/reporter.h"

namespace krovane::platform {

namespace {
Reporter* current = nullptr;
}  // namespace

void report(ReportKind kind, std::string_view line) {
    if (current != nullptr) current->report(kind, line);
}

Reporter* useReporter(Reporter* reporter) {
    Reporter* before = current;
    current = reporter;
    return before;
}

}  // namespace krovane::platform
