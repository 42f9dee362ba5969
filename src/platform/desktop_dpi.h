// Desktop dots per inch: the logical resolution the desktop asks programs to
// lay text out at, which is 96 unless the user sets a scale of their own
// (on X11 through the Xft.dpi resource). The monitor's physical size plays no
// part, so text has the same size in pixels on every monitor.
#pragma once

namespace krovane::platform {

inline constexpr int kStandardDpi = 96;

// The dpi for the window system window `sdlWindow` (an SDL_Window); 96 where
// the desktop sets none.
int desktopDpi(void* sdlWindow);

// The Xft.dpi value in the text of X resources (as `xrdb -query` prints
// them), rounded; 96 when absent, unreadable or outside 24 to 1200.
int dpiFromXResources(const char* resources);

}  // namespace krovane::platform
