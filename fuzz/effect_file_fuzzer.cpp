// Effect files: any text parses or fails cleanly with a line number, and what
// parses is consistent: every pass names stages of the right kind, and every
// stage's source can be made.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/effect_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krovane::formats::EffectFile file;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!krovane::formats::parseEffectFile(text, file, error)) {
        if (error.empty() || error[0] < '0' || error[0] > '9' || !file.techniques.empty()) std::abort();
        return 0;
    }
    if (file.techniques.empty()) std::abort();
    for (const auto& technique : file.techniques) {
        if (technique.passes.empty()) std::abort();
        for (const auto& pass : technique.passes) {
            if (pass.vertexStage >= file.stages.size() || pass.fragmentStage >= file.stages.size()) std::abort();
            if (!file.stages[pass.vertexStage].vertex || file.stages[pass.fragmentStage].vertex) std::abort();
        }
    }
    for (const auto& stage : file.stages)
        if (file.stageSource(stage).find("#version 330 core") != 0) std::abort();
    return 0;
}
