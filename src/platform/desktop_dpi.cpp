#include "platform/desktop_dpi.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>  // the X11 display of a window, for its resources

#include <cstdlib>
#include <string>
#include <string_view>

namespace krovane::platform {

int dpiFromXResources(const char* resources) {
    if (resources == nullptr) return kStandardDpi;
    constexpr std::string_view kKey = "Xft.dpi:";
    std::string_view rest(resources);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.starts_with(kKey)) continue;
        const std::string value(line.substr(kKey.size()));
        char* stop = nullptr;
        const double dpi = std::strtod(value.c_str(), &stop);
        if (stop == value.c_str() || !(dpi >= 24.0 && dpi <= 1200.0)) return kStandardDpi;
        return static_cast<int>(dpi + 0.5);
    }
    return kStandardDpi;
}

int desktopDpi(void* sdlWindow) {
    if (sdlWindow == nullptr) return kStandardDpi;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(static_cast<SDL_Window*>(sdlWindow), &info)) return kStandardDpi;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11 && info.info.x11.display != nullptr)
        return dpiFromXResources(XResourceManagerString(info.info.x11.display));
#endif
    return kStandardDpi;
}

}  // namespace krovane::platform
