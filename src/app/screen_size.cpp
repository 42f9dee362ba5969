#include "app/screen_size.h"

namespace krovane::app {

ScreenSize ScreenSize::fromConfig(const DynamicRow& config) {
    ScreenSize size;
    const unsigned id = config.iLookId("SCREEN");
    if (id == 0) return size;
    const unsigned first = config.TopId(id);
    switch (config.iCountParams(id)) {
        case 0:
            break;
        case 1:
            size.width = config.iLookName(first).toInt();
            size.height = 100;
            break;
        default:
            size.width = config.iLookName(first).toInt();
            size.height = config.iLookName(config.NextId(first)).toInt();
            break;
    }
    return size;
}

}  // namespace krovane::app
