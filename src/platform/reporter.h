// Reporter: the one way a reason leaves the layers below the engine's log
// (platform, formats, gfx), which cannot see the log itself.
//
// A part that finds something wrong with no caller to hand the reason to (a
// folder that cannot be watched, a debug build's failed device check) calls
// report(). The engine points the reporter at its console log (see
// app/engine_reporter.h); the programs that also want the reasons on stderr
// (krovane-shot) copy the log's Error lines there. Without a reporter a line
// goes nowhere: no reason is written to stderr below the engine (a message
// box, which the user is shown, keeps its own copy there). Where a caller
// prints its own failure line (a model, an effect), the reason comes back to
// it as text instead, so that it follows that line in the log.
#pragma once

#include <string_view>

namespace krovane::platform {

enum class ReportKind {
    Reason,  // why something failed: an Error line of the log
    Note,    // worth knowing, nothing failed: a Comment line of the log
    Debug,   // for whoever develops the engine (a failed device check): stderr, never the log
};

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void report(ReportKind kind, std::string_view line) = 0;
};

// Hands `line` (one line, code page 1251 or ASCII) to the reporter in use.
void report(ReportKind kind, std::string_view line);

// Makes `reporter` (null: none) the one in use; returns the one before it.
// Reporters are put in use and given back in nested order (each engine puts
// its own in use while it lives). Only the main thread reports.
Reporter* useReporter(Reporter* reporter);

}  // namespace krovane::platform
