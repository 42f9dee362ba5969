// The level files of a model's level, built as parameter trees and written from them.
#include "app/model_level_writer.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "params/dynamic_row.h"
#include "platform/file_io.h"
#include "scene/krovane_camera.h"

namespace fs = std::filesystem;
using krovane::gfx::Vector3;

namespace krovane::app {

namespace {

constexpr float kMargin = 1.15f;  // room left around the model

using Values = std::vector<std::string>;

// A number as the level files write it: round-trips a float.
std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v + 0.0f));  // -0 written as 0
    return text;
}

Values triple(const Vector3& v) { return {number(v.x), number(v.y), number(v.z)}; }

// Adds the knot `name` as the last child of `parent`, holding one param per value; its id.
unsigned knot(DynamicRow& tree, unsigned parent, std::string_view name, const Values& values = {}) {
    const unsigned id = tree.AddToId(parent, true, name);
    for (const std::string& value : values) tree.AddToId(id, false, std::string_view(value));
    return id;
}

// One line for a comment: no line break can end it early.
std::string commentText(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

// The distance of the cameras from the origin: a sphere of kRadius there
// fills most of the vertical field of view, the narrower one (the aspect is 4:3).
float cameraDistance() { return ModelLevelWriter::kRadius / std::sin(Krovane_Camera::kFieldOfView * 0.5f) * kMargin; }

DynamicRow levelTree(const ModelLevelWriter::Framing& framing) {
    const float d = cameraDistance();
    const std::string speed = number(ModelLevelWriter::kRadius / 100.0f);
    struct View {
        const char* name;
        Vector3 eye;
    };
    // The top view looks down from just in front, so that its "up" on screen stays defined.
    const View views[] = {{"front", {0, 0, -d}},
                          {"side", {d, 0, 0}},
                          {"top", {0, d, -d * 0.01f}},
                          {"three_quarter", Vector3{0.52f, 0.42f, -0.74f} * d}};
    DynamicRow level;
    const unsigned cameras = knot(level, 0, "_CAMERAS_");
    for (const View& v : views) {
        const unsigned camera = knot(level, cameras, v.name);
        knot(level, camera, "_POSITION_", triple(v.eye));
        knot(level, camera, "_LOOK_", {"0", "0", "0"});
        knot(level, camera, "_MOVESPEED_", {speed});
    }
    const unsigned light = knot(level, knot(level, 0, "_LIGHTS_"), "key");
    knot(level, light, "_POSITION_", triple(views[0].eye));
    knot(level, light, "_COLOR_", {"1", "1", "1"});
    knot(level, light, "_FALLOFF_", {number(4 * d)});
    knot(level, light, "_SPECULAR_", {"20"});
    knot(level, light, "_SPECULAR_INTENSY_", {"0.3"});
    knot(level, light, "_AMBIENT_", {"0.3"});
    knot(level, light, "_ATTENUATION_", {"0.5"});
    const unsigned effect = knot(level, knot(level, 0, "_EFFECTS_"), "krovane_model");
    knot(level, effect, "_FILE_FX_", {"fx\\krovane_model.fx"});
    knot(level, effect, "_FILE_", {"none"});
    const unsigned object = knot(level, knot(level, 0, "_OBJECTS_"), "model");
    knot(level, object, "_OBJECT_TYPE_", {"_OBJECT_SIMPLE_"});
    knot(level, object, "_OBJECT_PATH_", {"objects\\model.DR"});
    knot(level, object, "_POSITION_", triple(framing.position));
    knot(level, object, "_ROTATION_", {"0", "0", "0"});
    knot(level, object, "_SCALE_", {number(framing.scale)});
    return level;
}

// The start-up settings, as the ini.txt reader makes them: one knot per key, one param per value.
DynamicRow settingsTree() {
    DynamicRow settings;
    knot(settings, 0, "SCREEN", {"1024", "768"});
    knot(settings, 0, "BACK_RENDERER_COLOR", {"40", "44", "52"});
    knot(settings, 0, "MULTISAMPLE_TYPE", {"4"});
    knot(settings, 0, "MULTISAMPLEANTIALIAS", {"1"});
    // In software a model's frame would cost about eight times as much: multisampling is for graphics cards.
    knot(settings, 0, "MULTISAMPLE_SOFTWARE", {"0"});
    knot(settings, 0, "FILLMODE", {"3"});
    return settings;
}

// The settings in the form of ini.txt: "KEY = value, value" lines.
void writeSettings(const DynamicRow& settings, std::string& out) {
    for (unsigned key = settings.firstTopLevelId(); key != 0; key = settings.NextId(key)) {
        out += settings.text(key);
        const char* separator = " = ";
        for (unsigned value = settings.TopId(key); value != 0; value = settings.NextId(value)) {
            out += separator;
            out += settings.text(value);
            separator = ", ";
        }
        out += '\n';
    }
}

}  // namespace

bool ModelLevelWriter::write(const fs::path& folder, const std::string& modelPath, const Framing& framing,
                             const std::string& about, std::string& error) {
    // Trees hold no comments: each file's comment is written before its tree.
    DynamicRow object;
    knot(object, 0, "_MODEL_FILE_", {modelPath});
    knot(object, 0, "_FX_", {"krovane_model"});
    std::string ini = "; Start-up settings of a level made by krovane to show one model (see docs/configuration.md)\n";
    writeSettings(settingsTree(), ini);
    std::string level = "# A level made by krovane to show " + commentText(about) +
                        ".\n# The object is scaled and centred so that the model fits the cameras' view.\n\n";
    levelTree(framing).writeText(level);
    std::string objectText = "# " + commentText(about) + "\n";
    object.writeText(objectText);

    std::error_code ec;
    fs::create_directories(folder / "objects", ec);
    using krovane::platform::writeFileAtomically;
    if (!writeFileAtomically(folder / "ini.txt", ini) || !writeFileAtomically(folder / "POLYGON01", level) ||
        !writeFileAtomically(folder / "objects" / "model.DR", objectText)) {
        error = "cannot write the level in " + folder.string();
        return false;
    }
    return true;
}

}  // namespace krovane::app
