// Provisional: replaced by the .x model loader.
#include "gfx/x_model.h"

namespace krovane::gfx {

bool parseXModel(const std::uint8_t*, std::size_t, XModel& model, std::string& error) {
    model = XModel{};
    error = "the .x loader is not built yet";
    return false;
}

bool loadXModel(const std::string& enginePath, XModel& model, std::string& error) {
    return parseXModel(nullptr, 0, model, error) || (error = enginePath + ": " + error, false);
}

}  // namespace krovane::gfx
