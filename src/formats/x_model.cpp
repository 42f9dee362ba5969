#include "formats/x_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>

#include "formats/mszip.h"
#include "formats/x_tokenizer.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

namespace krovane::formats {

namespace {

constexpr std::size_t kHeaderBytes = 16;
constexpr int kMaxDepth = 64;  // frames inside frames
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

bool sameName(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? char(a[i] - 'A' + 'a') : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? char(b[i] - 'A' + 'a') : b[i];
        if (x != y) return false;
    }
    return true;
}

// Makes room in `v` for `extra` more items, at least doubling it, so that big
// meshes do not grow it step by step and many small ones do not copy it each time.
template <class T>
void makeRoom(std::vector<T>& v, std::size_t extra) {
    if (v.capacity() - v.size() < extra) v.reserve(std::max(v.size() + extra, v.capacity() * 2));
}

// Faces as read: each face's corner count followed by its indices. Where
// each face is found is kept only once one is not a triangle: models of
// millions of triangles need no second list as long as the first.
struct FaceList {
    std::vector<std::uint32_t> data;
    std::vector<std::uint32_t> starts;  // where each face's count is in `data`; empty: face f at 4 f
    std::size_t count = 0;
    bool sameAsOther = false;  // read as the faces it was compared with, and not kept (see readFaces)
    std::size_t start(std::size_t f) const { return starts.empty() ? f * 4 : starts[f]; }
    std::uint32_t corners(std::size_t f) const { return data[start(f)]; }
    const std::uint32_t* indices(std::size_t f) const { return data.data() + start(f) + 1; }
};
// A file's values, and so `data`'s places, are counted in 32 bits.
static_assert(kXMaxFileBytes / 2 <= 0xFFFFFFFFu, "face starts are 32-bit");

// A skin's bone as read, before its frame is found: the mesh's positions it moves.
struct PendingBone {
    std::string frameName;
    std::string place;  // where it is, for messages ("40:9")
    float offset[16];
    std::vector<std::uint32_t> positions;
    std::vector<float> weights;
};

// An animation set as read, its tracks' frames still names.
struct PendingSet {
    XAnimationSet set;
    std::string place;
    std::vector<std::string> frameNames, places;  // per track
};

struct PendingSkin {
    std::size_t part;  // in XModel::meshes
    std::string meshName, place;
    std::vector<PendingBone> bones;
};

class Parser {
public:
    Parser(XReader& reader, XModel& model) : r_(reader), model_(model) {}

    bool parseFile();

private:
    bool readCount(std::uint32_t& n, std::size_t valuesEach, const char* what);
    // Reads a face list; where it is the same as `same`, word for word, it is
    // not kept: `faces.sameAsOther` says so.
    bool readFaces(FaceList& faces, std::uint32_t indexLimit, const char* what, const FaceList* same = nullptr);
    bool readHeader(std::string& name);
    bool readReference(std::string& name);
    // One step through the children of an object body (or of the file):
    // templates and GUIDs are stepped over; a child object stops with its
    // type and name and its '{' read, a reference `{ Name }` with its name.
    enum class Step { Child, Reference, Close, End, Error };
    Step nextChild(std::string& type, std::string& name);
    // Reads the children of an object `what` up to its '}': each child by
    // `child(type, name)`, which reads or steps over its body, and each
    // reference by `reference(name)`; both false on a fault. False on a fault
    // or where the file ends first ("missing '}' of WHAT").
    template <class Child, class Reference>
    bool readChildren(const char* what, Child child, Reference reference);
    template <class Child>
    bool readChildren(const char* what, Child child) {
        return readChildren(what, child, [](const std::string&) { return true; });
    }
    bool parseSceneChild(const std::string& type, const std::string& name, int depth);
    bool parseFrame(int depth, const std::string& name);
    bool parseMesh(const std::string& name);
    std::string placeHere();
    // Reads an object's body with `read`; where that fails, the reader goes
    // back to the body's start and steps over it as a reader that does not
    // know it would, and `problem` gets the reason.
    template <class Read>
    bool readOrSkip(Read read, std::string& problem);
    bool readBone(std::uint32_t positionCount, PendingBone& bone);
    bool readAnimationSet(PendingSet& pending);
    bool readAnimation(PendingSet& pending);
    bool readKeys(XTrack& track);
    void addSkin(PendingSkin& skin, const std::vector<std::uint32_t>& sourceOf, std::size_t positionCount);
    void resolveAnimation();
    bool parseMaterial(XMaterial& material);
    bool parseAlpha(MaterialAlpha& alpha);
    bool parseMaterialList(std::uint32_t faceCount, std::vector<XMaterial>& materials,
                           std::vector<std::uint32_t>& faceMaterials);
    void makeNormals(const std::vector<float>& positions, const FaceList& faces, std::size_t base);
    void transform(const float m[16], std::size_t firstVertex, std::size_t firstIndex);
    void finish();

    XReader& r_;
    XModel& model_;
    std::vector<std::uint32_t> triangleMaterial_;  // per triangle of model_.indices
    std::map<std::string, XMaterial> namedMaterials_;
    bool sawMesh_ = false;
    std::uint32_t frame_ = kXNoFrame;  // the frame being read
    std::vector<PendingSkin> skins_;
    std::vector<PendingSet> sets_;
};

std::string Parser::placeHere() {
    XReader probe = r_;
    probe.fail("");
    std::string place = probe.error();
    return place.substr(0, place.size() - 2);
}

template <class Read>
bool Parser::readOrSkip(Read read, std::string& problem) {
    const XReader start = r_;
    if (read()) return true;
    problem = r_.error();
    r_ = start;
    return r_.skipBody();
}

// The body of a SkinWeights: the bone's frame name, its weights on the mesh's
// positions and its offset matrix.
bool Parser::readBone(std::uint32_t positionCount, PendingBone& bone) {
    if (!r_.readString(bone.frameName)) return false;
    std::uint32_t n;
    if (!readCount(n, 2, "weight")) return false;
    bone.positions.resize(n);
    for (std::uint32_t& p : bone.positions) {
        if (!r_.readUInt(p)) return false;
        if (p >= positionCount)
            return r_.failAtValue("vertex " + std::to_string(p) + " out of range (" + std::to_string(positionCount) +
                                  ")");
    }
    bone.weights.resize(n);
    for (float& w : bone.weights) {
        if (!r_.readFloat(w)) return false;
        if (!(w >= 0) || !std::isfinite(w)) return r_.failAtValue("weight is not a finite number from 0 up");
    }
    for (float& v : bone.offset)
        if (!r_.readFloat(v)) return false;
    return r_.skipBody();
}

bool Parser::readAnimationSet(PendingSet& pending) {
    return readChildren("an animation set", [&](const std::string& type, const std::string&) {
        return sameName(type, "Animation") ? readAnimation(pending) : r_.skipBody();
    });
}

// An Animation: the frame it moves, by reference, its keys and its options.
bool Parser::readAnimation(PendingSet& pending) {
    XTrack track;
    std::string frameName, place = placeHere();
    const bool read = readChildren(
        "an animation",
        [&](const std::string& type, const std::string&) {
            if (sameName(type, "AnimationKey")) {
                if (!readKeys(track)) return false;
            } else if (sameName(type, "AnimationOptions")) {
                std::uint32_t open;
                if (!r_.readUInt(open)) return false;
                if (open == 1) pending.set.looping = false;
            }
            return r_.skipBody();
        },
        [&](const std::string& name) {
            frameName = name;
            return true;
        });
    if (!read) return false;
    if (frameName.empty()) return r_.fail("animation names no frame");
    pending.set.tracks.push_back(std::move(track));
    pending.frameNames.push_back(frameName);
    pending.places.push_back(place);
    return true;
}

// An AnimationKey: its type (0 rotation, 1 scale, 2 position, 3 or 4 matrix)
// and its keys, each a time in ticks, a value count and the values.
bool Parser::readKeys(XTrack& track) {
    std::uint32_t type, count;
    if (!r_.readUInt(type)) return false;
    XKeys* keys = type == 0                ? &track.rotation
                  : type == 1              ? &track.scale
                  : type == 2              ? &track.position
                  : type == 3 || type == 4 ? &track.matrix
                                           : nullptr;
    if (!keys) return r_.failAtValue("unknown key type " + std::to_string(type));
    const std::uint32_t each = type == 0 ? 4 : type < 3 ? 3 : 16;
    if (!readCount(count, 2 + each, "key")) return false;
    *keys = XKeys{};
    keys->times.resize(count);
    keys->values.resize(std::size_t{count} * each);
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint32_t time, n;
        if (!r_.readUInt(time)) return false;
        if (k > 0 && float(time) < keys->times[k - 1])
            return r_.failAtValue("key " + std::to_string(k) + " (tick " + std::to_string(time) + ") is before key " +
                                  std::to_string(k - 1) + " (tick " +
                                  std::to_string(std::uint32_t(keys->times[k - 1])) + ")");
        keys->times[k] = float(time);
        if (!r_.readUInt(n)) return false;
        if (n != each)
            return r_.failAtValue("key " + std::to_string(k) + " has " + std::to_string(n) + " values, not " +
                                  std::to_string(each));
        for (std::uint32_t v = 0; v < each; ++v) {
            float& value = keys->values[std::size_t{k} * each + v];
            if (!r_.readFloat(value)) return false;
            if (!std::isfinite(value)) return r_.failAtValue("key " + std::to_string(k) + " has a value not finite");
        }
    }
    return true;
}

// Turns a skin's weights on the mesh's positions into weights on the model's
// vertices: a position may have become several vertices (one per normal).
void Parser::addSkin(PendingSkin& skin, const std::vector<std::uint32_t>& sourceOf, std::size_t positionCount) {
    std::vector<std::uint32_t> start(positionCount + 1, 0), order(sourceOf.size());
    for (std::uint32_t p : sourceOf) ++start[p + 1];
    for (std::size_t p = 0; p < positionCount; ++p) start[p + 1] += start[p];
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    const std::uint32_t first = model_.meshes[skin.part].firstVertex;
    for (std::size_t v = 0; v < sourceOf.size(); ++v) order[next[sourceOf[v]]++] = first + std::uint32_t(v);
    for (PendingBone& pending : skin.bones) {
        XBone bone;
        std::memcpy(bone.offset, pending.offset, sizeof bone.offset);
        for (std::size_t i = 0; i < pending.positions.size(); ++i)
            for (std::uint32_t k = start[pending.positions[i]]; k < start[pending.positions[i] + 1]; ++k) {
                bone.vertices.push_back(order[k]);
                bone.weights.push_back(pending.weights[i]);
            }
        model_.meshes[skin.part].bones.push_back(std::move(bone));
        pending.positions = {};
        pending.weights = {};
    }
}

// Finds the frames that bones and animations name. A skin with a bone that
// names none is left out, its mesh still; so is a set with such an animation.
void Parser::resolveAnimation() {
    std::unordered_map<std::string, std::uint32_t> frames;
    for (std::size_t f = 0; f < model_.frames.size(); ++f)
        frames.emplace(model_.frames[f].name, static_cast<std::uint32_t>(f));
    for (PendingSkin& skin : skins_) {
        XMeshPart& part = model_.meshes[skin.part];
        for (std::size_t b = 0; b < skin.bones.size(); ++b) {
            const auto found = frames.find(skin.bones[b].frameName);
            if (found != frames.end() && !skin.bones[b].frameName.empty()) {
                part.bones[b].frame = found->second;
                continue;
            }
            model_.warnings.push_back(skin.bones[b].place + ": bone \"" + skin.bones[b].frameName +
                                      "\" names no frame (skin of mesh \"" + skin.meshName + "\" left out)");
            part.bones.clear();
            part.frame = kXNoFrame;
            break;
        }
    }
    for (PendingSet& pending : sets_) {
        bool whole = true;
        for (std::size_t t = 0; t < pending.set.tracks.size() && whole; ++t) {
            const auto found = frames.find(pending.frameNames[t]);
            if (found != frames.end()) {
                pending.set.tracks[t].frame = found->second;
            } else {
                model_.warnings.push_back(pending.places[t] + ": animation names no frame \"" + pending.frameNames[t] +
                                          "\" (animation set \"" + pending.set.name + "\" left out)");
                whole = false;
            }
        }
        if (!whole) continue;
        bool any = false;
        for (const XTrack& track : pending.set.tracks)
            for (const XKeys* keys : {&track.rotation, &track.scale, &track.position, &track.matrix}) {
                if (keys->times.empty()) continue;
                pending.set.firstTick =
                    any ? std::min(pending.set.firstTick, keys->times.front()) : keys->times.front();
                pending.set.lastTick = any ? std::max(pending.set.lastTick, keys->times.back()) : keys->times.back();
                any = true;
            }
        model_.animationSets.push_back(std::move(pending.set));
    }
}

bool Parser::readCount(std::uint32_t& n, std::size_t valuesEach, const char* what) {
    if (!r_.readUInt(n)) return false;
    if (std::size_t{n} * valuesEach > r_.valuesLeft())
        return r_.failAtValue(std::string(what) + " count " + std::to_string(n) + " is more than the file holds");
    return true;
}

bool Parser::readFaces(FaceList& faces, std::uint32_t indexLimit, const char* what, const FaceList* same) {
    std::uint32_t count;
    if (!readCount(count, 1, what)) return false;
    faces.count = count;
    // While the values are those of `same`, they are only counted (`read`);
    // at the first that differs, those before it are copied from `same`.
    bool matching = same != nullptr && same->count == count;
    std::size_t read = 0;
    const auto put = [&](std::uint32_t value) {
        if (matching && read < same->data.size() && same->data[read] == value) {
            ++read;
            return;
        }
        if (matching) {
            matching = false;
            faces.data.assign(same->data.begin(), same->data.begin() + static_cast<std::ptrdiff_t>(read));
            makeRoom(faces.data, std::min(std::size_t{count} * 4, r_.valuesLeft()));
        }
        faces.data.push_back(value);
        ++read;
    };
    // Triangles take 4 values each; never more than the file can hold.
    if (!matching) makeRoom(faces.data, std::min(std::size_t{count} * 4, r_.valuesLeft()));
    for (std::uint32_t f = 0; f < count; ++f) {
        std::uint32_t n;
        if (!readCount(n, 1, "face index")) return false;
        if (faces.starts.empty() && n != 3) {
            faces.starts.resize(count);
            for (std::uint32_t before = 0; before < f; ++before) faces.starts[before] = before * 4;
        }
        if (!faces.starts.empty()) faces.starts[f] = static_cast<std::uint32_t>(read);
        put(n);
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint32_t index;
            if (!r_.readUInt(index)) return false;
            if (index >= indexLimit)
                return r_.failAtValue(std::string(what) + " " + std::to_string(f) + ": index " + std::to_string(index) +
                                      " out of range (" + std::to_string(indexLimit) + ")");
            put(index);
        }
    }
    if (matching && read == same->data.size()) {
        faces = FaceList{{}, {}, count, true};
    } else if (matching) {  // a shorter list that began as `same` did
        faces.data.assign(same->data.begin(), same->data.begin() + static_cast<std::ptrdiff_t>(read));
    }
    return true;
}

// The rest of an object header after its type: an optional name and GUID, then '{'.
bool Parser::readHeader(std::string& name) {
    name.clear();
    XToken t;
    if (!r_.next(t, true)) return false;
    if (t.kind == XTokenKind::Name) {
        name = t.text;
        if (!r_.next(t, true)) return false;
    }
    if (t.kind == XTokenKind::Guid && !r_.next(t, true)) return false;
    if (t.kind != XTokenKind::OpenBrace) return r_.fail("expected '{'");
    return true;
}

// A reference to another object after its '{': `{ Name }`, `{ <guid> }` or both.
bool Parser::readReference(std::string& name) {
    name.clear();
    for (;;) {
        XToken t;
        if (!r_.next(t, true)) return false;
        if (t.kind == XTokenKind::CloseBrace) return true;
        if (t.kind == XTokenKind::Name) {
            name = t.text;
        } else if (t.kind != XTokenKind::Guid) {
            return r_.fail("expected '}' after a reference");
        }
    }
}

Parser::Step Parser::nextChild(std::string& type, std::string& name) {
    for (;;) {
        XToken t;
        if (!r_.next(t, false)) return Step::Error;
        switch (t.kind) {
            case XTokenKind::End:
                return Step::End;
            case XTokenKind::CloseBrace:
                return Step::Close;
            case XTokenKind::Template:
                if (!r_.skipTemplate()) return Step::Error;
                break;
            case XTokenKind::Guid:
                break;
            case XTokenKind::OpenBrace:
                return readReference(name) ? Step::Reference : Step::Error;
            case XTokenKind::Name:
                type = t.text;
                return readHeader(name) ? Step::Child : Step::Error;
        }
    }
}

template <class Child, class Reference>
bool Parser::readChildren(const char* what, Child child, Reference reference) {
    for (;;) {
        std::string type, name;
        switch (nextChild(type, name)) {
            case Step::Error:
                return false;
            case Step::End:
                return r_.fail(std::string("missing '}' of ") + what);
            case Step::Close:
                return true;
            case Step::Reference:
                if (!reference(name)) return false;
                break;
            case Step::Child:
                if (!child(type, name)) return false;
                break;
        }
    }
}

bool Parser::parseFile() {
    for (;;) {
        std::string type, name;
        switch (nextChild(type, name)) {
            case Step::Error:
                return false;
            case Step::End:
                if (!sawMesh_) return r_.fail("no mesh in the file");
                finish();
                resolveAnimation();
                return true;
            case Step::Close:
                return r_.fail("unexpected '}'");
            case Step::Reference:
                break;
            case Step::Child:
                if (!parseSceneChild(type, name, 0)) return false;
                break;
        }
    }
}

// A child of the file or of a frame at `depth`: frames, meshes, materials and
// animation are read, anything else is stepped over.
bool Parser::parseSceneChild(const std::string& type, const std::string& name, int depth) {
    if (sameName(type, "Frame")) return parseFrame(depth + 1, name);
    if (sameName(type, "Mesh")) return parseMesh(name);
    if (sameName(type, "AnimTicksPerSecond")) {
        std::uint32_t ticks;
        if (!r_.readUInt(ticks)) return false;
        if (ticks > 0)
            model_.ticksPerSecond = float(ticks);
        else
            model_.warnings.push_back(placeHere() + ": 0 ticks per second ignored");
        return r_.skipBody();
    }
    if (sameName(type, "AnimationSet")) {
        PendingSet pending;
        pending.set.name = name;
        std::string problem;
        if (!readOrSkip([&] { return readAnimationSet(pending); }, problem)) return false;
        if (problem.empty())
            sets_.push_back(std::move(pending));
        else
            model_.warnings.push_back(problem + " (animation set \"" + name + "\" left out)");
        return true;
    }
    if (sameName(type, "Material")) {
        XMaterial material;
        if (!parseMaterial(material)) return false;
        if (!name.empty()) namedMaterials_[name] = std::move(material);
        return true;
    }
    return r_.skipBody();
}

bool Parser::parseFrame(int depth, const std::string& frameName) {
    if (depth > kMaxDepth) return r_.fail("frames nested more than " + std::to_string(kMaxDepth) + " deep");
    const std::size_t firstVertex = model_.vertices.size(), firstIndex = model_.indices.size();
    const std::uint32_t parent = frame_;
    frame_ = static_cast<std::uint32_t>(model_.frames.size());
    model_.frames.push_back({frameName, parent});
    std::optional<std::array<float, 16>> matrix;
    // A reference is a mesh instanced by name: the mesh itself is already drawn.
    const bool read = readChildren("a frame", [&](const std::string& type, const std::string& name) {
        if (!sameName(type, "FrameTransformMatrix")) return parseSceneChild(type, name, depth);
        matrix.emplace();
        for (float& v : *matrix)
            if (!r_.readFloat(v)) return false;
        return r_.skipBody();
    });
    if (!read) return false;
    if (matrix) {
        std::memcpy(model_.frames[frame_].local, matrix->data(), sizeof(float) * 16);
        transform(matrix->data(), firstVertex, firstIndex);
    }
    frame_ = parent;
    return true;
}

bool Parser::parseMaterial(XMaterial& m) {
    float* fields[] = {&m.diffuse.r,  &m.diffuse.g,  &m.diffuse.b,  &m.diffuse.a,  &m.power,     &m.specular.r,
                       &m.specular.g, &m.specular.b, &m.emissive.r, &m.emissive.g, &m.emissive.b};
    for (float* f : fields)
        if (!r_.readFloat(*f)) return false;
    m.specular.a = 0;
    m.emissive.a = 0;
    return readChildren("a material", [&](const std::string& type, const std::string&) {
        if (sameName(type, "TextureFilename") && !r_.readString(m.textureFile)) return false;
        if (sameName(type, "KrovaneAlpha") && !parseAlpha(m.alpha)) return false;
        return r_.skipBody();
    });
}

// The body of a KrovaneAlpha: the mode (0 opaque, 1 mask, 2 blend) and the
// cutoff; what follows them, up to its '}', is left for a later version.
bool Parser::parseAlpha(MaterialAlpha& alpha) {
    std::uint32_t mode;
    if (!r_.readUInt(mode)) return false;
    if (mode > 2) return r_.failAtValue("alpha mode " + std::to_string(mode) + " is not 0, 1 or 2");
    float cutoff;
    if (!r_.readFloat(cutoff)) return false;
    if (!(cutoff >= 0) || !std::isfinite(cutoff))
        return r_.failAtValue("alpha cutoff " + std::to_string(cutoff) + " is not a finite number from 0 up");
    alpha = {static_cast<AlphaMode>(mode), cutoff};
    return true;
}

bool Parser::parseMaterialList(std::uint32_t faceCount, std::vector<XMaterial>& materials,
                               std::vector<std::uint32_t>& faceMaterials) {
    std::uint32_t declared, count;
    if (!r_.readUInt(declared)) return false;
    if (declared > kXMaxMaterials)
        return r_.failAtValue("material count " + std::to_string(declared) + " is too large");
    if (!readCount(count, 1, "material index")) return false;
    faceMaterials.assign(faceCount, 0);
    std::uint32_t index = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!r_.readUInt(index)) return false;
        if (i < faceCount) faceMaterials[i] = index;
    }
    // Files often give fewer indices than faces (one for all): the last one goes on.
    for (std::uint32_t i = count; i < faceCount; ++i) faceMaterials[i] = index;

    const bool read = readChildren(
        "a material list",
        [&](const std::string& type, const std::string& name) {
            if (!sameName(type, "Material")) return r_.skipBody();
            if (materials.size() >= kXMaxMaterials) return r_.fail("too many materials");
            XMaterial material;
            if (!parseMaterial(material)) return false;
            if (!name.empty()) namedMaterials_[name] = material;
            materials.push_back(std::move(material));
            return true;
        },
        [&](const std::string& name) {
            if (materials.size() >= kXMaxMaterials) return r_.fail("too many materials");
            const auto found = namedMaterials_.find(name);
            // An unknown name draws with the default material rather than losing the model.
            materials.push_back(found != namedMaterials_.end() ? found->second : XMaterial{});
            return true;
        });
    if (!read) return false;
    // Materials declared but not given draw with the default one.
    if (materials.size() < declared) materials.resize(declared);
    if (materials.empty()) materials.emplace_back();
    if (model_.materials.size() + materials.size() > kXMaxMaterials)
        return r_.fail("more than " + std::to_string(kXMaxMaterials) + " materials");
    for (std::uint32_t f = 0; f < faceCount; ++f)
        if (faceMaterials[f] >= materials.size())
            return r_.fail("face " + std::to_string(f) + ": material " + std::to_string(faceMaterials[f]) +
                           " out of range (" + std::to_string(materials.size()) + ")");
    return true;
}

bool Parser::parseMesh(const std::string& meshName) {
    sawMesh_ = true;
    std::uint32_t vertexCount;
    if (!readCount(vertexCount, 3, "vertex")) return false;
    std::vector<float> positions(std::size_t{vertexCount} * 3);
    if (!r_.readFloats(positions.data(), positions.size())) return false;
    FaceList faces;
    if (!readFaces(faces, vertexCount, "face")) return false;
    const std::size_t faceCount = faces.count;

    std::vector<float> normals, uvs;
    FaceList normalFaces;
    bool hasNormals = false;
    std::vector<XMaterial> materials;
    std::vector<std::uint32_t> faceMaterials;
    PendingSkin skin{model_.meshes.size(), meshName, {}, {}};
    bool skinBad = false;
    const bool read = readChildren("a mesh", [&](const std::string& type, const std::string&) {
        if (sameName(type, "MeshNormals")) {
            std::uint32_t n;
            if (!readCount(n, 3, "normal")) return false;
            normals.resize(std::size_t{n} * 3);
            if (!r_.readFloats(normals.data(), normals.size())) return false;
            normalFaces = FaceList{};
            if (!readFaces(normalFaces, n, "normal face", &faces)) return false;
            hasNormals = true;
        } else if (sameName(type, "MeshTextureCoords")) {
            std::uint32_t n;
            if (!readCount(n, 2, "texture coordinate")) return false;
            uvs.resize(std::size_t{n} * 2);
            if (!r_.readFloats(uvs.data(), uvs.size())) return false;
        } else if (sameName(type, "MeshMaterialList")) {
            materials.clear();
            return parseMaterialList(static_cast<std::uint32_t>(faceCount), materials, faceMaterials);  // '}' read
        } else if (sameName(type, "SkinWeights")) {
            PendingBone bone;
            bone.place = placeHere();
            std::string problem;
            if (!readOrSkip([&] { return readBone(vertexCount, bone); }, problem)) return false;
            if (!problem.empty() && !skinBad)
                model_.warnings.push_back(problem + " (skin of mesh \"" + meshName + "\" left out)");
            skinBad = skinBad || !problem.empty();
            skin.bones.push_back(std::move(bone));
            return true;  // its '}' is read
        }
        return r_.skipBody();
    });
    if (!read) return false;
    if (materials.empty()) {
        if (model_.materials.size() >= kXMaxMaterials)
            return r_.fail("more than " + std::to_string(kXMaxMaterials) + " materials");
        materials.emplace_back();
        faceMaterials.assign(faceCount, 0);
    }

    // Each corner's vertex: its position with the normal its normal face gives
    // (or the one at the position's index when the normal faces do not match),
    // split where one position is used with several normals.
    const std::size_t normalCount = normals.size() / 3;
    auto cornerNormal = [&](std::size_t f, std::uint32_t k, std::uint32_t p) {
        if (!hasNormals) return kNone;
        if (normalFaces.sameAsOther) return p;  // each normal has its position's index
        if (f < normalFaces.count && normalFaces.corners(f) == faces.corners(f))
            return normalFaces.indices(f)[k];
        return p < normalCount ? p : kNone;
    };
    const std::size_t base = model_.vertices.size();
    // The vertex made for each pair of position and normal: where the normal
    // has the position's index (as most files give them) in a table, else in a map.
    std::vector<std::uint32_t> sameIndex(hasNormals ? vertexCount : 0, kNone);
    std::unordered_map<std::uint64_t, std::uint32_t> made;
    auto vertexFor = [&](std::uint32_t p, std::uint32_t n, std::uint32_t& out) {
        if (!hasNormals) {
            out = static_cast<std::uint32_t>(base + p);
            return true;
        }
        std::uint32_t* slot = nullptr;
        if (n == p) {
            slot = &sameIndex[p];
        } else {
            const auto [it, added] = made.emplace(std::uint64_t{p} << 32 | n, kNone);
            slot = &it->second;
        }
        if (*slot == kNone) {
            if (model_.vertices.size() >= kXMaxVertices) return false;
            XVertex v{};
            std::memcpy(v.position, &positions[std::size_t{p} * 3], sizeof v.position);
            if (n != kNone) std::memcpy(v.normal, &normals[std::size_t{n} * 3], sizeof v.normal);
            if (std::size_t{p} * 2 + 1 < uvs.size()) std::memcpy(v.uv, &uvs[std::size_t{p} * 2], sizeof v.uv);
            *slot = static_cast<std::uint32_t>(model_.vertices.size());
            model_.vertices.push_back(v);
        }
        out = *slot;
        return true;
    };
    if (!hasNormals) {
        if (base + vertexCount > kXMaxVertices)
            return r_.fail("more than " + std::to_string(kXMaxVertices) + " vertices");
        model_.vertices.resize(base + vertexCount, XVertex{});
        for (std::size_t p = 0; p < vertexCount; ++p) {
            std::memcpy(model_.vertices[base + p].position, &positions[p * 3], sizeof(float) * 3);
            if (p * 2 + 1 < uvs.size()) std::memcpy(model_.vertices[base + p].uv, &uvs[p * 2], sizeof(float) * 2);
        }
    }

    const std::uint32_t firstMaterial = static_cast<std::uint32_t>(model_.materials.size());
    makeRoom(model_.indices, faceCount * 3);  // at least a triangle per face
    makeRoom(triangleMaterial_, faceCount);
    if (hasNormals) makeRoom(model_.vertices, vertexCount);
    for (std::size_t f = 0; f < faceCount; ++f) {
        const std::uint32_t n = faces.corners(f);
        if (n < 3) continue;
        if (triangleMaterial_.size() + (n - 2) > kXMaxTriangles)
            return r_.fail("more than " + std::to_string(kXMaxTriangles) + " triangles");
        const std::uint32_t* idx = faces.indices(f);
        std::uint32_t first, previous;
        if (!vertexFor(idx[0], cornerNormal(f, 0, idx[0]), first) ||
            !vertexFor(idx[1], cornerNormal(f, 1, idx[1]), previous))
            return r_.fail("more than " + std::to_string(kXMaxVertices) + " vertices");
        for (std::uint32_t k = 2; k < n; ++k) {
            std::uint32_t current;
            if (!vertexFor(idx[k], cornerNormal(f, k, idx[k]), current))
                return r_.fail("more than " + std::to_string(kXMaxVertices) + " vertices");
            model_.indices.insert(model_.indices.end(), {first, previous, current});
            triangleMaterial_.push_back(firstMaterial + faceMaterials[f]);
            previous = current;
        }
    }
    if (!hasNormals) makeNormals(positions, faces, base);
    for (XMaterial& m : materials) model_.materials.push_back(std::move(m));
    model_.meshes.push_back(
        {static_cast<std::uint32_t>(base), static_cast<std::uint32_t>(model_.vertices.size() - base), frame_, {}});
    if (!skin.bones.empty() && !skinBad) {
        // Each new vertex's position in the mesh, so that the weights on positions reach them.
        std::vector<std::uint32_t> sourceOf(model_.vertices.size() - base);
        if (hasNormals) {
            for (const auto& [key, vertex] : made) sourceOf[vertex - base] = static_cast<std::uint32_t>(key >> 32);
            for (std::uint32_t p = 0; p < sameIndex.size(); ++p)
                if (sameIndex[p] != kNone) sourceOf[sameIndex[p] - base] = p;
        } else
            for (std::size_t v = 0; v < sourceOf.size(); ++v) sourceOf[v] = static_cast<std::uint32_t>(v);
        addSkin(skin, sourceOf, vertexCount);
        skins_.push_back(std::move(skin));
    } else if (skinBad) {
        model_.meshes.back().frame = kXNoFrame;  // left as it is drawn
    }
    return true;
}

// Gives the vertices of a mesh without normals (from `base` on, one per
// position) the area-weighted sum of the faces around them, made unit length.
// A face's normal is the sum of its fan's cross products: front faces wind
// clockwise, seen from where their normal points.
void Parser::makeNormals(const std::vector<float>& positions, const FaceList& faces, std::size_t base) {
    model_.normalsMade = true;
    const auto at = [&](std::uint32_t p, int c) { return static_cast<double>(positions[std::size_t{p} * 3 + c]); };
    for (std::size_t f = 0; f < faces.count; ++f) {
        const std::uint32_t n = faces.corners(f);
        if (n < 3) continue;
        const std::uint32_t* idx = faces.indices(f);
        double area[3] = {0, 0, 0};
        for (std::uint32_t k = 2; k < n; ++k) {
            double u[3], v[3];
            for (int c = 0; c < 3; ++c) {
                u[c] = at(idx[k - 1], c) - at(idx[0], c);
                v[c] = at(idx[k], c) - at(idx[0], c);
            }
            for (int c = 0; c < 3; ++c) area[c] += u[(c + 1) % 3] * v[(c + 2) % 3] - u[(c + 2) % 3] * v[(c + 1) % 3];
        }
        for (std::uint32_t k = 0; k < n; ++k)
            for (int c = 0; c < 3; ++c) model_.vertices[base + idx[k]].normal[c] += static_cast<float>(area[c]);
    }
    for (std::size_t i = base; i < model_.vertices.size(); ++i) {
        float* normal = model_.vertices[i].normal;
        const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        for (int c = 0; c < 3; ++c) normal[c] = length > 0 && std::isfinite(length) ? normal[c] / length : 0.0f;
    }
}

// Moves the vertices from `firstVertex` on by a frame's matrix (row vectors:
// p' = p·M) and their normals by its inverse transpose, so that they stay
// square to their surface under any scale. A matrix that mirrors (negative
// determinant) would turn the faces from `firstIndex` on inside out: their
// corner order is reversed, so that they keep facing the way they were made.
void Parser::transform(const float m[16], std::size_t firstVertex, std::size_t firstIndex) {
    static constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (std::memcmp(m, kIdentity, sizeof kIdentity) == 0) return;
    // The cofactors of the upper 3 x 3: the inverse transpose times the determinant.
    const auto a = [m](int row, int column) { return m[(row % 3) * 4 + column % 3]; };
    float cofactor[9];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            cofactor[r * 3 + c] = a(r + 1, c + 1) * a(r + 2, c + 2) - a(r + 1, c + 2) * a(r + 2, c + 1);
    const float determinant = m[0] * cofactor[0] + m[1] * cofactor[1] + m[2] * cofactor[2];
    const float sign = determinant < 0 ? -1.0f : 1.0f;
    for (std::size_t i = firstVertex; i < model_.vertices.size(); ++i) {
        XVertex& v = model_.vertices[i];
        const float x = v.position[0], y = v.position[1], z = v.position[2];
        for (int c = 0; c < 3; ++c) v.position[c] = x * m[c] + y * m[4 + c] + z * m[8 + c] + m[12 + c];
        const float nx = v.normal[0], ny = v.normal[1], nz = v.normal[2];
        float n[3];
        for (int c = 0; c < 3; ++c) n[c] = sign * (nx * cofactor[c] + ny * cofactor[3 + c] + nz * cofactor[6 + c]);
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0 && std::isfinite(length))
            for (int c = 0; c < 3; ++c) v.normal[c] = n[c] / length;
        else
            for (int c = 0; c < 3; ++c) v.normal[c] = n[c];
    }
    if (determinant < 0)
        for (std::size_t t = firstIndex; t + 2 < model_.indices.size(); t += 3)
            std::swap(model_.indices[t + 1], model_.indices[t + 2]);
}

// Groups the triangles by material (keeping their order within each) into subsets.
void Parser::finish() {
    const std::size_t materialCount = model_.materials.size();
    std::vector<std::uint32_t> start(materialCount + 1, 0);
    for (std::uint32_t m : triangleMaterial_) ++start[m + 1];
    for (std::size_t m = 0; m < materialCount; ++m) {
        model_.subsets.push_back({start[m], start[m + 1]});
        start[m + 1] += start[m];
    }
    std::vector<std::uint32_t> sorted(model_.indices.size());
    for (std::size_t t = 0; t < triangleMaterial_.size(); ++t) {
        const std::uint32_t to = start[triangleMaterial_[t]]++;
        std::memcpy(&sorted[std::size_t{to} * 3], &model_.indices[t * 3], 3 * sizeof(std::uint32_t));
    }
    model_.indices = std::move(sorted);
}

}  // namespace

bool parseXModel(const std::uint8_t* data, std::size_t size, XModel& model, std::string& error) {
    model = XModel{};
    error.clear();
    if (size < kHeaderBytes) {
        error = size == 0 ? "empty file" : "too short for a .x header";
        return false;
    }
    if (std::memcmp(data, "xof ", 4) != 0) {
        error = "1:1: not a .x file (no \"xof \" header)";
        return false;
    }
    const std::string format(reinterpret_cast<const char*>(data + 8), 4);
    const std::string floatSize(reinterpret_cast<const char*>(data + 12), 4);
    const bool binary = format == "bin " || format == "bzip";
    const bool compressed = format == "tzip" || format == "bzip";
    if (!binary && !compressed && format != "txt ") {
        error = "1:9: unknown .x format \"" + format + "\"";
        return false;
    }
    if (floatSize != "0032" && floatSize != "0064") {
        error = "1:13: unknown float size \"" + floatSize + "\"";
        return false;
    }
    std::vector<std::uint8_t> inflated;
    const std::uint8_t* body = data + kHeaderBytes;
    std::size_t bodySize = size - kHeaderBytes;
    try {
        if (compressed) {
            if (!inflateMszip(body, bodySize, kXMaxFileBytes, inflated, error)) return false;
            body = inflated.data();
            bodySize = inflated.size();
        }
        XReader reader(body, bodySize, binary, floatSize == "0064", compressed ? 0 : kHeaderBytes);
        Parser parser(reader, model);
        if (!parser.parseFile()) {
            error = compressed && binary ? reader.error() + " (of the decompressed data)" : reader.error();
            model = XModel{};
            return false;
        }
    } catch (const std::bad_alloc&) {
        model = XModel{};
        error = "not enough memory to load it";
        return false;
    }
    return true;
}

bool loadXModelFile(const std::filesystem::path& file, const std::string& named, XModel& model, std::string& error) {
    model = XModel{};
    std::string bytes;
    switch (platform::readWholeFile(file, bytes, kXMaxFileBytes)) {
        case platform::ReadStatus::Ok:
            break;
        case platform::ReadStatus::Missing:
            error = named + ": no such file";
            return false;
        case platform::ReadStatus::TooLarge:
            error = named + ": larger than " + std::to_string(kXMaxFileBytes >> 20) + " MiB, the most a model may be";
            return false;
        case platform::ReadStatus::ReadFailed:
            error = named + ": cannot be read";
            return false;
    }
    if (!parseXModel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), model, error)) {
        // "PATH:LINE:COLUMN: why" where the reason has a place in the text, else "PATH: why".
        error = named + (!error.empty() && error[0] >= '0' && error[0] <= '9' ? ":" : ": ") + error;
        return false;
    }
    return true;
}

bool loadXModel(const std::string& enginePath, XModel& model, std::string& error) {
    return loadXModelFile(platform::PathResolver::resolve(enginePath), enginePath, model, error);
}

}  // namespace krovane::formats
