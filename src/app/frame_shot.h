// saveFrameShot: the viewer's picture key. Writes the frame last drawn as a
// PNG in the level's folder (beside LOG.dr), named with the date and time
// (UTC, as the log's header): "shot_2026-12-07_03-05-12.png", with "_2",
// "_3"... added when that name is taken, so that no picture, the user's own
// or one taken in the same second, is ever replaced. The log gets the name
// of the file written as a Comment ("Picture saved: NAME"), or an Error
// ("Picture not saved: NAME") when the device keeps no picture or the file
// cannot be written.
#pragma once

class Krovane;

namespace krovane::app {

// True when the picture was written.
bool saveFrameShot(Krovane& engine);

}  // namespace krovane::app
