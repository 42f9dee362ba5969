// Creating, listing, drawing and commanding the level's objects.
#include "scene/krovane_object_manager.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "gfx/mesh.h"
#include "scene/krovane_light_manager.h"
#include "scene/level_section.h"
#include "scene/object_template.h"
#include "scene/static_c_object.h"

using namespace krovane::scene;

namespace {

// The values of an entry's "_SCALE_" key (0: none, which leaves 1 1 1): one
// number for every axis or three, each a finite number above 0, written as a
// number and nothing else. False when they are not.
bool readScale(const DynamicRow& tree, unsigned key, std::array<float, 3>& scale) {
    scale = {1.0f, 1.0f, 1.0f};
    if (key == 0) return true;
    const unsigned count = tree.iCountParams(key) + tree.iCountKnots(key);
    if (count != 1 && count != 3) return false;
    unsigned id = tree.TopId(key);
    for (unsigned i = 0; i < count; ++i, id = tree.NextId(id)) {
        const Korvane_string name = tree.iLookName(id);
        const std::string_view text = name.view();
        float value = 0;
        const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0 ||
            tree.iCountParams(id) + tree.iCountKnots(id) != 0)
            return false;
        scale[i] = value;
    }
    if (count == 1) scale[1] = scale[2] = scale[0];
    return true;
}

}  // namespace

void Krovane_Object_Manager::playNamed(std::uint32_t id, const Korvane_string& named, const Korvane_string& path) {
    const auto* object = dynamic_cast<const Static_CObject*>(entry(id)->object.get());
    const krovane::gfx::Mesh* model = object != nullptr ? object->mesh() : nullptr;
    const std::size_t count = model != nullptr ? model->animationCount() : 0;
    // By name first: a set may be named with digits.
    std::size_t set = 0;
    while (set < count && model->animationName(set) != named.view()) ++set;
    if (set == count) {
        const std::string_view text = named.view();
        std::size_t number = 0;
        const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), number);
        set = status == std::errc() && end == text.data() + text.size() && number >= 1 ? number - 1 : count;
    }
    if (set < count && playAnimation(id, set)) return;
    Korvane_string line = "[A.F] no such animation (";
    line += named;
    line += ") in the model, left still: ";
    line += path;
    PrintToConsole(line, MessageType::Error);
}

Krovane_Object_Manager::Krovane_Object_Manager(const krovane::gfx::Matrix* baseMatrix, krovane::gfx::Device* device,
                                               krovane::log::Log& console, Krovane_Effect_Manager* effectManager,
                                               Krovane_Light_Manager* lightManager)
    : baseMatrix_(baseMatrix),
      device_(device),
      console_(console),
      effectManager_(effectManager),
      lightManager_(lightManager) {}

Krovane_Object_Manager::~Krovane_Object_Manager() = default;

void Krovane_Object_Manager::PrintToConsole(const Korvane_string& text, MessageType type) {
    console_.Print(text, type);
}

std::uint32_t Krovane_Object_Manager::AddObject(const Korvane_string& path, float x, float y, float z, float angleX,
                                                float angleY, float angleZ, const std::array<float, 3>& scale) {
    PrintToConsole(addedLine("[O.F.] ", path), MessageType::Text);

    const float position[3] = {x, y, z}, rotation[3] = {angleX, angleY, angleZ};
    bool loaded = false;
    std::unique_ptr<Static_CObject> object = makeObject(path.getChars(), position, rotation, scale.data(), loaded);
    if (!loaded) {
        ++errors_;  // a failed object takes no id
        return 0;
    }
    const std::string_view kept = *paths_.emplace(path.view()).first;
    return entries_.add(std::make_unique<ObjectEntry>(ObjectEntry{std::move(object), kept, true}));
}

std::unique_ptr<Static_CObject> Krovane_Object_Manager::makeObject(const char* path, const float position[3],
                                                                   const float rotation[3], const float scale[3],
                                                                   bool& loaded, bool record) {
    auto object = std::make_unique<Static_CObject>(baseMatrix_, path, device_, effectManager_, lightManager_, console_,
                                                   &resources_);
    for (int axis = 0; axis < 3; ++axis) {
        object->position[axis] = position[axis];
        object->rotation[axis] = rotation[axis];
        object->scale[axis] = scale[axis];
    }
    // Only an object that may make its file's template records what it looks up: the others share the template's.
    const ObjectTemplate* known = resources_.objectTemplate(object->params.get());
    record = keepSources_ && (record || known == nullptr || known->sources().empty());
    if (record) {
        sources_.assign(1, FileSource{fileKey(path), path});
        resources_.recordSources(&sources_);
    }
    loaded = object->Load();
    // Its "[!]" line is followed by why: the level entry's missing key, or what is wrong with the file.
    if (!loaded)
        PrintToConsole(lacking_.empty() ? Static_CObject::whyNotRead(object->params->lastLoadError()) : lacking_,
                       MessageType::Error);
    if (record) {
        resources_.recordSources(nullptr);
        // A template is made by the first object that loads it; the others share it and what it was made from.
        ObjectTemplate* made = resources_.objectTemplate(object->params.get());
        if (loaded && made != nullptr && made == object->shared() && made->sources().empty())
            made->keepSources(sources_);
    }
    return object;
}

void Krovane_Object_Manager::sourceFiles(std::vector<FileSource>& out) const {
    for (const std::string& path : paths_) out.push_back({fileKey(path), path});
    std::unordered_set<const ObjectTemplate*> seen;
    entries_.forEach([&](std::uint32_t, const ObjectEntry& e) {
        const auto* object = dynamic_cast<const Static_CObject*>(e.object.get());
        const ObjectTemplate* made = object != nullptr ? object->shared() : nullptr;
        if (made != nullptr && seen.insert(made).second)
            out.insert(out.end(), made->sources().begin(), made->sources().end());
    });
}

ReloadOutcome Krovane_Object_Manager::reloadFile(const std::string& key) {
    // The objects made from the file: read from it as their parameter file, or sharing a template made from it.
    std::unordered_set<std::string_view> parameterFiles;
    std::string named;  // the file as the level names it
    for (const std::string& path : paths_)
        if (fileKey(path) == key) {
            parameterFiles.insert(path);
            named = path;
        }
    std::vector<Static_CObject*> old;
    std::vector<std::uint32_t> ids;
    entries_.forEach([&](std::uint32_t id, const ObjectEntry& e) {
        auto* object = dynamic_cast<Static_CObject*>(e.object.get());
        if (object == nullptr) return;
        const ObjectTemplate* made = object->shared();
        if (parameterFiles.count(e.path) == 0 && (made == nullptr || !made->madeFrom(key))) return;
        if (named.empty())
            for (const FileSource& source : made->sources())
                if (source.key == key) named = source.enginePath;
        old.push_back(object);
        ids.push_back(id);
    });
    if (ids.empty()) return ReloadOutcome::NotUsed;

    // One object of each template (or parameter file) first: a failure is then reported once, by it.
    std::vector<std::unique_ptr<Static_CObject>> made(ids.size());
    std::unordered_set<const void*> tried;
    bool loaded = true;
    resources_.beginSnapshot();
    for (int pass = 0; pass < 2 && loaded; ++pass) {
        for (std::size_t i = 0; i < ids.size() && loaded; ++i) {
            const void* group = old[i]->shared() != nullptr ? static_cast<const void*>(old[i]->shared())
                                                            : entries_.find(ids[i])->path.data();
            if (made[i] != nullptr || (pass == 0 && !tried.insert(group).second)) continue;
            const std::string path(entries_.find(ids[i])->path);
            made[i] = makeObject(path.c_str(), old[i]->position, old[i]->rotation, old[i]->scale, loaded, true);
            // The file itself must have loaded where the object looked for it (a model that does not
            // read, a picture that does not decode, are not a failed Load).
            const bool lookedUp = !keepSources_ || std::any_of(sources_.begin(), sources_.end(),
                                                               [&](const FileSource& s) { return s.key == key; });
            if (lookedUp && !resources_.holdsCurrent(key)) loaded = false;
            // Nor may it lose the model it names (one still half written, say): what is shown stays.
            if (loaded && made[i]->mesh() == nullptr && Static_CObject::modelKey(*made[i]->params) != 0) loaded = false;
        }
    }
    resources_.endSnapshot();
    if (!loaded) {
        PrintToConsole(addedLine(kNotReloadedLine, Korvane_string(std::string_view(named))), MessageType::Error);
        return ReloadOutcome::Failed;
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ObjectEntry& e = *entries_.find(ids[i]);
        e.object = std::move(made[i]);
        // What played plays again from its start, where the new model still has the set.
        if (e.animation != 0 && !static_cast<Static_CObject&>(*e.object).play(e.animation - 1, e.loopsAlways)) {
            e.animation = 0;
            std::erase(animated_, ids[i]);
        }
    }
    PrintToConsole(addedLine(kReloadedLine, Korvane_string(std::string_view(named))), MessageType::Comment);
    return ReloadOutcome::Reloaded;
}

bool Krovane_Object_Manager::playAnimation(std::uint32_t id, std::size_t set, bool loop) {
    ObjectEntry* found = entry(id);
    auto* object = found != nullptr ? dynamic_cast<Static_CObject*>(found->object.get()) : nullptr;
    if (object == nullptr || !object->play(set, loop)) return false;
    if (found->animation == 0) animated_.push_back(id);
    found->animation = static_cast<std::uint32_t>(set + 1);
    found->loopsAlways = loop;
    return true;
}

void Krovane_Object_Manager::advanceAnimations(double seconds) {
    if (paused_) return;
    for (const std::uint32_t id : animated_) entries_.find(id)->object->advance(seconds);
}

void Krovane_Object_Manager::RenderAll() {
    if (lightManager_ == nullptr) return;
    bool blended = false;
    for (std::uint32_t light = 1; light <= lightManager_->lightCount(); ++light)
        entries_.forEach([&](std::uint32_t, const ObjectEntry& e) {
            if (!e.visible) return;
            e.object->Render(light, light == 1);
            blended = blended || e.object->drawsBlended;
        });
    if (!blended) return;
    // Blended parts go over everything opaque, each object's for every light in turn, so
    // that the lights after the first add to its own blend.
    entries_.forEach([&](std::uint32_t, const ObjectEntry& e) {
        if (!e.visible || !e.object->drawsBlended) return;
        for (std::uint32_t light = 1; light <= lightManager_->lightCount(); ++light)
            e.object->renderBlended(light, light == 1);
    });
}

void Krovane_Object_Manager::ExecuteCommand(const Korvane_string& text) {
    Korvane_string word, rest;
    text.DivideTwoParameters(&word, &rest);
    if (word == "load.OBJECT_SIMPLE") {
        AddObject(rest, 0, 0, 0, 0, 0, 0);
    } else if (word == "show.list") {
        entries_.forEach([&](std::uint32_t id, const ObjectEntry& e) {
            Korvane_string line = "id:";
            line += static_cast<int>(id);
            line += "  visible:";
            line += e.visible ? 1 : 0;
            line += "  file:";
            line.add(e.path);
            PrintToConsole(line, MessageType::System);
        });
    } else if (word == "object.visible") {
        Korvane_string idText, valueText;
        rest.DivideTwoParameters(&idText, &valueText);
        if (idText.empty() || valueText.empty()) {
            // kept: the reply's wording, as existing logs show it.
            PrintToConsole("What are you mean?)", MessageType::Error);
            return;
        }
        const auto id = static_cast<std::uint32_t>(idText.toInt());
        ObjectEntry* found = entry(id);
        if (found == nullptr) return;
        found->visible = valueText.toInt() != 0;
        Korvane_string line = "[Object] id: ";
        line += static_cast<int>(id);
        line += "  visible(changed): ";
        line += found->visible ? 1 : 0;
        PrintToConsole(line, MessageType::System);
    }
}

void Krovane_Object_Manager::LoadObjects(const DynamicRow& tree) {
    errors_ = 0;
    resources_.beginSnapshot();
    forEachListed(tree, "_OBJECTS_", [&](unsigned entry) {
        // The n-th value of a key of the entry ("" when it has none).
        const auto value = [&](const char* key, unsigned n) {
            unsigned id = tree.TopId(tree.iLookInFor(entry, key));
            for (unsigned k = 0; k < n && id != 0; ++k) id = tree.NextId(id);
            return tree.iLookName(id);
        };
        if (value("_OBJECT_TYPE_", 0) != "_OBJECT_SIMPLE_") return;
        std::array<float, 3> scale;
        const bool scaleRead = readScale(tree, tree.iLookInFor(entry, "_SCALE_"), scale);
        const Korvane_string path = value("_OBJECT_PATH_", 0);
        if (path.empty()) lacking_ = lackingKey(tree, entry, "_OBJECT_PATH_");
        const std::uint32_t id = AddObject(
            path, value("_POSITION_", 0).toFloat(), value("_POSITION_", 1).toFloat(), value("_POSITION_", 2).toFloat(),
            value("_ROTATION_", 0).toFloat(), value("_ROTATION_", 1).toFloat(), value("_ROTATION_", 2).toFloat(), scale);
        lacking_ = Korvane_string();
        if (const Korvane_string animation = value("_ANIMATION_", 0); id != 0 && !animation.empty())
            playNamed(id, animation, path);
        if (!scaleRead)
            PrintToConsole(addedLine("[S.F] bad _SCALE_ (1 or 3 numbers above 0), left unscaled: ", path),
                           MessageType::Error);
    });
    resources_.endSnapshot();
    Korvane_string summary = setupSummary("Object Manager", errors_, " errors and ");
    summary += static_cast<int>(lastId());
    summary += " objects.";
    PrintToConsole(summary, MessageType::Comment);
}
