#include "formats/x_pose.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace krovane::formats {

namespace {

using Matrix = std::array<float, 16>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r * 4 + c] =
                a[r * 4] * b[c] + a[r * 4 + 1] * b[4 + c] + a[r * 4 + 2] * b[8 + c] + a[r * 4 + 3] * b[12 + c];
    return m;
}

Matrix toMatrix(const float* m) {
    Matrix out;
    std::memcpy(out.data(), m, sizeof(float) * 16);
    return out;
}

// The inverse of a transform of row vectors whose last column is 0 0 0 1;
// the identity for one that flattens space.
Matrix inverseAffine(const Matrix& m) {
    const auto a = [&m](int r, int c) { return double(m[(r % 3) * 4 + c % 3]); };
    double cofactor[9];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            cofactor[r * 3 + c] = a(r + 1, c + 1) * a(r + 2, c + 2) - a(r + 1, c + 2) * a(r + 2, c + 1);
    const double determinant = a(0, 0) * cofactor[0] + a(0, 1) * cofactor[1] + a(0, 2) * cofactor[2];
    if (!(std::abs(determinant) > 1e-30) || !std::isfinite(determinant)) return kIdentity;
    Matrix out = kIdentity;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r * 4 + c] = float(cofactor[c * 3 + r] / determinant);
    for (int c = 0; c < 3; ++c) out[12 + c] = -(m[12] * out[c] + m[13] * out[4 + c] + m[14] * out[8 + c]);
    return out;
}

// The value of `keys` (`each` values a key) at tick `t`, between the keys around it.
void sample(const XKeys& keys, std::size_t each, float t, float* out, bool rotation) {
    const std::size_t n = keys.times.size();
    const std::size_t i = std::size_t(std::upper_bound(keys.times.begin(), keys.times.end(), t) - keys.times.begin());
    if (i == 0 || i == n) {
        std::memcpy(out, &keys.values[(i == 0 ? 0 : n - 1) * each], sizeof(float) * each);
        return;
    }
    const float* a = &keys.values[(i - 1) * each];
    const float* b = &keys.values[i * each];
    const float f = (t - keys.times[i - 1]) / (keys.times[i] - keys.times[i - 1]);
    if (!rotation) {
        for (std::size_t v = 0; v < each; ++v) out[v] = a[v] + (b[v] - a[v]) * f;
        return;
    }
    // Slerp along the shorter arc; lerp where the two are nearly the same.
    float dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const float sign = dot < 0 ? -1.0f : 1.0f;
    dot *= sign;
    float wa = 1 - f, wb = f * sign;
    if (dot < 0.9995f) {
        const float theta = std::acos(std::min(dot, 1.0f)), s = std::sin(theta);
        wa = std::sin((1 - f) * theta) / s;
        wb = sign * std::sin(f * theta) / s;
    }
    for (int v = 0; v < 4; ++v) out[v] = a[v] * wa + b[v] * wb;
}

// A rotation key w x y z as the rows of its matrix. Exporters write the
// quaternion of the rotation for column vectors, so its matrix for row
// vectors is the transposed one.
void rotationRows(const float q[4], float r[9]) {
    const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const float s = length > 0 ? 1 / length : 0;
    const float w = q[0] * s, x = q[1] * s, y = q[2] * s, z = q[3] * s;
    const float rows[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                           2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                           2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    static constexpr float kNone[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(r, length > 0 ? rows : kNone, sizeof rows);
}

}  // namespace

XPoser::XPoser(const XModel& model) : model_(model) {
    const std::size_t frames = model.frames.size();
    local_.resize(frames);
    combined_.resize(frames);
    bindInverse_.resize(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        const XFrame& frame = model.frames[f];
        combined_[f] =
            frame.parent < f ? multiply(toMatrix(frame.local), combined_[frame.parent]) : toMatrix(frame.local);
        bindInverse_[f] = inverseAffine(combined_[f]);
    }
    for (const XMeshPart& mesh : model.meshes) {
        firstBone_.push_back(boneBase_.size());
        firstInfluence_.push_back(influences_.size());
        if (mesh.bones.empty()) continue;
        const Matrix& toMesh = mesh.frame < frames ? bindInverse_[mesh.frame] : kIdentity;
        // The four heaviest bones of each vertex, their weights summed where a bone names a vertex twice.
        std::vector<Influence> heaviest(mesh.vertexCount, Influence{{0, 0, 0, 0}, {0, 0, 0, 0}});
        for (std::size_t b = 0; b < mesh.bones.size(); ++b) {
            const XBone& bone = mesh.bones[b];
            boneBase_.push_back(multiply(toMesh, toMatrix(bone.offset)));
            boneFrame_.push_back(bone.frame);
            const auto entry = std::uint32_t(1 + boneBase_.size() - 1);
            for (std::size_t i = 0; i < bone.vertices.size(); ++i) {
                if (bone.vertices[i] < mesh.firstVertex || bone.vertices[i] - mesh.firstVertex >= mesh.vertexCount)
                    continue;
                Influence& in = heaviest[bone.vertices[i] - mesh.firstVertex];
                const float w = bone.weights[i];
                int slot = 0;
                while (slot < 4 && in.bone[slot] != entry) ++slot;
                if (slot == 4) slot = int(std::min_element(in.weight, in.weight + 4) - in.weight);
                if (in.bone[slot] == entry)
                    in.weight[slot] += w;
                else if (w > in.weight[slot])
                    in.bone[slot] = entry, in.weight[slot] = w;
            }
        }
        for (Influence& in : heaviest) {
            const float sum = in.weight[0] + in.weight[1] + in.weight[2] + in.weight[3];
            if (sum > 0 && std::isfinite(sum)) {
                for (float& w : in.weight) w /= sum;
            } else {
                in = Influence{{0, 0, 0, 0}, {1, 0, 0, 0}};  // the identity: it stays where it was made
            }
        }
        influences_.insert(influences_.end(), heaviest.begin(), heaviest.end());
    }
    palette_.assign(12 * (1 + boneBase_.size()), 0.0f);
    palette_[0] = palette_[4] = palette_[8] = 1;
}

double XPoser::duration(std::size_t set) const {
    if (set >= model_.animationSets.size()) return 0;
    const XAnimationSet& s = model_.animationSets[set];
    return double(s.lastTick - s.firstTick) / model_.ticksPerSecond;
}

void XPoser::frameLocals(const XAnimationSet& set, double seconds) {
    for (std::size_t f = 0; f < local_.size(); ++f) local_[f] = toMatrix(model_.frames[f].local);
    const double ticks = seconds * model_.ticksPerSecond, span = double(set.lastTick) - set.firstTick;
    double at = set.firstTick + std::clamp(ticks, 0.0, span);
    if (set.looping && span > 0) at = set.firstTick + (ticks - span * std::floor(ticks / span));
    if (!std::isfinite(at)) at = set.firstTick;
    const float t = float(at);
    for (const XTrack& track : set.tracks) {
        if (track.frame >= local_.size()) continue;
        Matrix& m = local_[track.frame];
        if (!track.matrix.times.empty()) {
            sample(track.matrix, 16, t, m.data(), false);
            continue;
        }
        if (!track.rotation.times.empty() || !track.scale.times.empty()) {
            float q[4] = {1, 0, 0, 0}, s[3] = {1, 1, 1}, r[9];
            if (!track.rotation.times.empty()) sample(track.rotation, 4, t, q, true);
            if (!track.scale.times.empty()) sample(track.scale, 3, t, s, false);
            rotationRows(q, r);
            for (int row = 0; row < 3; ++row)
                for (int c = 0; c < 3; ++c) m[row * 4 + c] = r[row * 3 + c] * s[row];
        }
        if (!track.position.times.empty()) sample(track.position, 3, t, &m[12], false);
    }
}

bool XPoser::pose(std::size_t set, double seconds, std::span<XVertex> out) {
    const std::vector<XVertex>& bind = model_.vertices;
    if (set >= model_.animationSets.size() || out.size() != bind.size()) {
        std::copy_n(bind.begin(), std::min(out.size(), bind.size()), out.begin());
        return false;
    }
    frameLocals(model_.animationSets[set], seconds);
    for (std::size_t f = 0; f < local_.size(); ++f) {
        const std::uint32_t parent = model_.frames[f].parent;
        combined_[f] = parent < f ? multiply(local_[f], combined_[parent]) : local_[f];
    }
    for (std::size_t b = 0; b < boneBase_.size(); ++b) {
        const Matrix m =
            boneFrame_[b] < combined_.size() ? multiply(boneBase_[b], combined_[boneFrame_[b]]) : kIdentity;
        float* p = &palette_[12 * (b + 1)];
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) p[r * 3 + c] = m[r * 4 + c];
    }
    for (std::size_t i = 0; i < model_.meshes.size(); ++i) {
        const XMeshPart& mesh = model_.meshes[i];
        const XVertex* from = bind.data() + mesh.firstVertex;
        XVertex* to = out.data() + mesh.firstVertex;
        float single[12];
        if (mesh.bones.empty()) {
            if (mesh.frame >= combined_.size()) {
                std::copy_n(from, mesh.vertexCount, to);
                continue;
            }
            const Matrix m = multiply(bindInverse_[mesh.frame], combined_[mesh.frame]);
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 3; ++c) single[r * 3 + c] = m[r * 4 + c];
        }
        const Influence* influence = mesh.bones.empty() ? nullptr : influences_.data() + firstInfluence_[i];
        const float* palette = palette_.data();
        for (std::uint32_t v = 0; v < mesh.vertexCount; ++v) {
            float blended[12];
            const float* m = single;
            if (influence) {
                const Influence& in = influence[v];
                const float *p0 = palette + 12 * in.bone[0], *p1 = palette + 12 * in.bone[1],
                            *p2 = palette + 12 * in.bone[2], *p3 = palette + 12 * in.bone[3];
                for (int k = 0; k < 12; ++k)
                    blended[k] =
                        p0[k] * in.weight[0] + p1[k] * in.weight[1] + p2[k] * in.weight[2] + p3[k] * in.weight[3];
                m = blended;
            }
            const float* p = from[v].position;
            const float* n = from[v].normal;
            float* q = to[v].position;
            float* o = to[v].normal;
            for (int c = 0; c < 3; ++c) q[c] = p[0] * m[c] + p[1] * m[3 + c] + p[2] * m[6 + c] + m[9 + c];
            float made[3];
            for (int c = 0; c < 3; ++c) made[c] = n[0] * m[c] + n[1] * m[3 + c] + n[2] * m[6 + c];
            const float length2 = made[0] * made[0] + made[1] * made[1] + made[2] * made[2];
            const float scale = length2 > 0 ? 1 / std::sqrt(length2) : 0.0f;
            for (int c = 0; c < 3; ++c) o[c] = made[c] * scale;
            to[v].uv[0] = from[v].uv[0];
            to[v].uv[1] = from[v].uv[1];
        }
    }
    return true;
}

}  // namespace krovane::formats
