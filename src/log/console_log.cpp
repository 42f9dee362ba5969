#include "log/console_log.h"

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace krovane::log {

namespace {
constexpr std::size_t kFirstPiece = 86;  // a line of 85 or 86 characters stays whole
constexpr std::size_t kFurtherPiece = 85;
constexpr std::string_view kIndent = "   ";
}  // namespace

ConsoleLog::ConsoleLog() {
    tree_.fresh();
    root_ = tree_.AddToId(0, true, "LOG");
    clock_.Reset();
    writeHeader();
}

const char* ConsoleLog::typeName(MessageType type) {
    static constexpr const char* kNames[] = {"_TEXT_", "_ERROR_", "_COMMENT_", "_SYSTEM_"};
    const auto code = static_cast<std::size_t>(type);
    return code < std::size(kNames) ? kNames[code] : nullptr;
}

void ConsoleLog::addLine(const Korvane_string& line, MessageType type) {
    const unsigned id = tree_.AddToId(root_, true, line);
    if (id == 0) return;
    lineIds_.push_back(id);
    if (const char* name = typeName(type)) tree_.AddToId(id, false, name);
}

void ConsoleLog::writeHeader() {
    const krovane::platform::UtcTime t = krovane::platform::Clock::utcNow();
    // kept: every LOG.dr so far begins with this spelling.
    const std::string header = "[Currient date: " + std::to_string(t.day) + "-" + std::to_string(t.month) + "-" +
                               std::to_string(t.year) + " , time: " + std::to_string(t.hour) + "-" +
                               std::to_string(t.minute) + "-" + std::to_string(t.second) + " (GMT+0)]";
    addLine(Korvane_string(std::string_view(header)), MessageType::System);
}

void ConsoleLog::stamp(Korvane_string& out) const {
    const std::uint32_t elapsed = clock_.Elapsed();
    const std::uint32_t milliseconds = elapsed % 1000;
    out = "[";
    out += static_cast<int>(elapsed / 1000);  // at most 4294967: fits
    out += ":";
    const char digits[4] = {static_cast<char>('0' + milliseconds / 100),
                            static_cast<char>('0' + milliseconds / 10 % 10), static_cast<char>('0' + milliseconds % 10),
                            '\0'};
    out += digits;
    out += "] ";
}

void ConsoleLog::Print(const Korvane_string& text, MessageType type) {
    if (copy_ != nullptr && type == MessageType::Error)
        copy_->report(krovane::platform::ReportKind::Reason, text.view());
    Korvane_string line;
    stamp(line);
    line += text;

    const std::string_view full = line.view();
    if (full.size() < kCutAt) {
        addLine(line, type);
        return;
    }
    Korvane_string piece(full.substr(0, kFirstPiece));
    addLine(piece, type);
    for (std::size_t at = kFirstPiece; at < full.size(); at += kFurtherPiece) {
        piece = Korvane_string(kIndent);
        piece.add(full.substr(at, kFurtherPiece));
        addLine(piece, type);
    }
}

void ConsoleLog::SaveLog(const char* file) const { tree_.iSaveToFile(file); }

}  // namespace krovane::log
