// levelWarnings: what a level check says beyond the log: where a loaded
// level shows something through a fallback that LOG.dr does not report.
// Each texture shown through the stand-in picture "textures\_def\def.bmp"
// (its own file missing or unreadable), each texture with transparent
// pixels drawn through the shipped "vek_Phong.fx" (which shows them
// opaque), each object file naming an effect
// the level does not load (the object is drawn without it) and each object
// lying wholly farther than the far plane from every camera (no camera shows
// it, whichever way it turns); then each entry of the level file's
// "_OBJECTS_" skipped for a missing or misspelt "_OBJECT_TYPE_" and each
// technique objects are drawn through ("vek_Phong", "vek_Phong_alpha") that
// a loaded effect lacks. Each is said once, as a UTF-8 line "Warning: ...",
// in that order.
#pragma once

#include <string>
#include <vector>

class Krovane;

namespace krovane::app {

std::vector<std::string> levelWarnings(const Krovane& engine);

}  // namespace krovane::app
