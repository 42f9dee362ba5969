// EngineReporter: the engine's end of the one reporting path
// (platform/reporter.h). It takes what the parts below the log report:
// reasons become Error lines of the console log and notes Comment lines;
// debug lines go to stderr, never to the log. Lines reported before the log
// exists (while the device is made) wait for it. Tools also have the log's
// Error lines on stderr (see StderrCopy).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/log.h"
#include "platform/reporter.h"

namespace krovane::app {

class EngineReporter final : public krovane::platform::Reporter {
public:
    // Becomes the reporter in use; gives back the one before when it goes.
    EngineReporter();
    ~EngineReporter() override;
    EngineReporter(const EngineReporter&) = delete;
    EngineReporter& operator=(const EngineReporter&) = delete;

    // Where lines go from now on, those waiting first; null: they wait.
    void attach(krovane::log::Log* log);
    void report(krovane::platform::ReportKind kind, std::string_view line) override;

private:
    static constexpr std::size_t kMostWaiting = 64;  // beyond, the first ones are kept

    krovane::platform::Reporter* before_;
    krovane::log::Log* log_ = nullptr;
    std::vector<std::pair<krovane::platform::ReportKind, std::string>> waiting_;
};

}  // namespace krovane::app
