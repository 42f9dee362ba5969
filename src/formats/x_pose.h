// XPoser: an XModel's vertices in the pose of one of its animation sets at
// a time, for drawing models that move.
//
// Each frame's local transform comes from the set's keys at that time
// (rotations slerped, scales and positions lerped, matrices lerped element
// by element); a frame the set does not move keeps its FrameTransformMatrix,
// and a track without rotation or scale keys keeps the frame's own upper
// 3 x 3, one without position keys its translation. Closed sets loop over
// their keys' span; open ones hold their first and last keys. A skinned
// vertex is moved by up to its four heaviest bones, their weights made to
// sum to 1 (a vertex no bone weighs keeps its bind place); a mesh without a
// skin moves with its frame. A skinned mesh is placed by its bones' offsets
// alone, as the files mean them: the frame around it moves it in the bind
// pose but not when posed (a turned root frame shows as a turn between the two). Normals follow the same matrices, made
// unit length, which is exact for bones that rotate and scale evenly.
//
// All memory is taken in the constructor: pose() allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/x_model.h"

namespace krovane::formats {

class XPoser {
public:
    // Keeps a reference to `model`, which must outlive the poser and stay unchanged.
    explicit XPoser(const XModel& model);

    // The set's length in seconds (0 for a set of one tick, or no such set).
    double duration(std::size_t set) const;

    // Writes the model's vertices posed by `set` at `seconds` into `out`,
    // which holds one per model vertex (texture coordinates are copied).
    // An index past the sets, or a size that does not match, writes the bind pose
    // where it fits and returns false.
    bool pose(std::size_t set, double seconds, std::span<XVertex> out);

    // The frames' transforms of the last pose(), each in model space (row vectors).
    const std::vector<std::array<float, 16>>& frameTransforms() const { return combined_; }

private:
    struct Influence {
        std::uint32_t bone[4];  // palette entries
        float weight[4];
    };
    void frameLocals(const XAnimationSet& set, double seconds);

    const XModel& model_;
    std::vector<std::array<float, 16>> bindInverse_;  // per frame, of its bind transform in model space
    std::vector<std::array<float, 16>> local_, combined_;
    // Per skinned mesh, from bind model space into its mesh's own space, times each bone's offset.
    std::vector<std::array<float, 16>> boneBase_;
    std::vector<std::uint32_t> boneFrame_;
    std::vector<std::size_t> firstBone_;       // per mesh, into boneBase_; palette entry = 1 + bone
    std::vector<float> palette_;               // 12 per entry: rows 0-2 of the 3 x 3 and the translation; 0 is identity
    std::vector<Influence> influences_;        // per vertex of a skinned mesh
    std::vector<std::size_t> firstInfluence_;  // per mesh
};

}  // namespace krovane::formats
