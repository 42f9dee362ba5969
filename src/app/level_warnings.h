// LevelWarnings: what a level check says beyond the log: where the level
// shows something through a fallback that LOG.dr does not report. While one
// is alive it hears of every texture shown through the stand-in picture
// "textures\_def\def.bmp" (its own file missing or unreadable); after the
// level has loaded, lines() adds each object file naming an effect the level
// does not load (the object is drawn without it) and each object lying
// wholly farther than the far plane from every camera (no camera shows it,
// whichever way it turns). Each is said once, as a
// UTF-8 line "Warning: ...", in that order.
#pragma once

#include <string>
#include <vector>

class Krovane;

class LevelWarnings {
public:
    LevelWarnings();
    ~LevelWarnings();
    LevelWarnings(const LevelWarnings&) = delete;
    LevelWarnings& operator=(const LevelWarnings&) = delete;

    std::vector<std::string> lines(const Krovane& engine) const;

private:
    std::vector<std::string> standIns_;
};
