#include "gfx/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "gfx/device.h"
#include "gfx/font_choice_cache.h"
#include "gfx/texture.h"
#include "platform/cache_folder.h"
#include "platform/code_page_1251.h"

namespace krovane::gfx {

namespace {

constexpr int kDefaultCellHeight = 16;
// Glyph sizes past these would only make an atlas the device cannot take.
constexpr double kMaxEmPixels = 256.0;
constexpr double kMaxEmWidthPixels = 1024.0;
constexpr int kTabAverageWidths = 8;
constexpr std::uint32_t kTextFvf = kFvfXyzRhw | kFvfDiffuse | kFvfTex1;

// The Unicode character of a code page 1251 byte.
char32_t unicodeOf(unsigned char byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{cp1251_detail::kHighHalf[byte - 0x80]};
}

// Control characters have no glyph: they take no room and draw nothing.
bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

bool isBlank(unsigned char c) { return c == ' ' || c == '\t'; }

// Lines are measured up to this many pixels; longer ones are drawn, but their
// width (for alignment and measuring) stops growing there.
constexpr int kMaxLineWidth = 1 << 28;

int clampToInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX)); }

// The face a name resolves to, with what must be made up because the face lacks it.
using FaceChoice = FontChoice;

// The choices of earlier starts, kept in the machine's cache folder.
FontChoiceCache& rememberedChoices() {
    static FontChoiceCache cache = [] {
        const std::filesystem::path folder = platform::cacheFolder();
        return FontChoiceCache(folder.empty() ? folder : folder / "font-choices");
    }();
    return cache;
}

// Opens the face of an earlier start's choice, when it still holds.
FT_Face openRemembered(FT_Library library, const std::string& request, FaceChoice& choice) {
    FontChoice known;
    FT_Face face = nullptr;
    if (!rememberedChoices().find(request, known) || FT_New_Face(library, known.file.c_str(), known.index, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    choice = known;
    return face;
}

// Loads a face that fontconfig ranks first for the request and that FreeType
// can scale. Returns null when none can be loaded.
FT_Face openFace(FT_Library library, const char* faceName, std::uint32_t weight, bool italic,
                 std::uint32_t pitchAndFamily, FaceChoice& choice) {
    std::string name = faceName ? faceName : "";
    const auto notBlank = [](unsigned char c) { return c != ' ' && c != '\t'; };
    name.erase(name.begin(), std::find_if(name.begin(), name.end(), notBlank));
    name.erase(std::find_if(name.rbegin(), name.rend(), notBlank).base(), name.end());

    static std::mutex rememberedMutex;
    std::lock_guard<std::mutex> lock(rememberedMutex);
    const std::string request =
        name + "|" + std::to_string(weight) + "|" + (italic ? "1" : "0") + "|" + std::to_string(pitchAndFamily);
    if (FT_Face face = openRemembered(library, request, choice)) return face;

    if (!loadFontconfig()) return nullptr;

    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    if (!name.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    // The family bits and fixed pitch of the request decide what an absent face is replaced by.
    const char* generic = "sans-serif";
    if ((pitchAndFamily & 0x3) == 1 || (pitchAndFamily & 0xF0) == 0x30)
        generic = "monospace";
    else if ((pitchAndFamily & 0xF0) == 0x10)
        generic = "serif";
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    if ((pitchAndFamily & 0x3) == 1) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    const int openTypeWeight = weight == 0 ? 400 : static_cast<int>(std::min<std::uint32_t>(weight, 1000));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(openTypeWeight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FT_Face face = nullptr;
    for (int i = 0; sorted != nullptr && i < sorted->nfont && face == nullptr; ++i) {
        FcPattern* font = FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]);
        if (font == nullptr) continue;
        FcChar8* file = nullptr;
        int index = 0, slant = FC_SLANT_ROMAN;
        FcBool embolden = FcFalse;
        if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
            FcPatternGetInteger(font, FC_INDEX, 0, &index);
            FcPatternGetBool(font, FC_EMBOLDEN, 0, &embolden);
            FcPatternGetInteger(font, FC_SLANT, 0, &slant);
            if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) == 0 && !FT_IS_SCALABLE(face)) {
                FT_Done_Face(face);
                face = nullptr;
            }
            if (face != nullptr) {
                choice.file = reinterpret_cast<const char*>(file);
                choice.index = index;
                choice.embolden = embolden == FcTrue;
                choice.oblique = italic && slant == FC_SLANT_ROMAN;
            }
        }
        FcPatternDestroy(font);
    }
    if (sorted != nullptr) FcFontSetDestroy(sorted);
    FcPatternDestroy(pattern);
    if (face != nullptr) rememberedChoices().store(request, choice);
    return face;
}

// The glyph images of one font before they go into the atlas.
struct Rendered {
    std::vector<std::uint8_t> coverage;  // every glyph's rows, one after the other
    std::size_t offset[256] = {};
};

// Places the glyphs in rows of an atlas as square as powers of two allow,
// with a blank pixel between neighbours. Returns false when none fits.
template <typename GlyphArray>
bool pack(GlyphArray& glyphs, std::uint32_t& atlasWidth, std::uint32_t& atlasHeight) {
    for (std::uint32_t width = 64; width <= kMaxTextureSize; width *= 2) {
        std::int32_t x = 1, y = 1, rowHeight = 0;
        bool fits = true;
        for (auto& g : glyphs) {
            if (g.width == 0 || g.height == 0) continue;
            if (static_cast<std::uint32_t>(g.width) + 2 > width) {
                fits = false;
                break;
            }
            if (static_cast<std::uint32_t>(x + g.width + 1) > width) {
                x = 1;
                y += rowHeight + 1;
                rowHeight = 0;
            }
            g.atlasX = x;
            g.atlasY = y;
            x += g.width + 1;
            rowHeight = std::max(rowHeight, g.height);
        }
        const auto height = static_cast<std::uint32_t>(y + rowHeight + 1);
        if (fits && (height <= width || (width == kMaxTextureSize && height <= kMaxTextureSize))) {
            atlasWidth = width;
            atlasHeight = height;
            return true;
        }
    }
    return false;
}

}  // namespace

Font::Font(Device* device) : DeviceResource(device) {}

Font::~Font() = default;

Result CreateFontA(Device* device, int height, std::uint32_t width, std::uint32_t weight, std::uint32_t, bool italic,
                   std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t pitchAndFamily, const char* faceName,
                   Ref<Font>* font) {
    if (font == nullptr) return kInvalidCall;
    *font = nullptr;
    if (device == nullptr) return kInvalidCall;

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return kFail;
    FaceChoice choice;
    FT_Face face = openFace(library, faceName, weight, italic, pitchAndFamily, choice);
    if (face == nullptr) {
        FT_Done_FreeType(library);
        return kFail;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    // The cell is the face's Windows ascent and descent where it has them, as
    // the engine's font API measures heights; its typographic ones otherwise.
    const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
    double ascentUnits = face->ascender, descentUnits = -face->descender;
    double averageUnits = 0;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
        averageUnits = os2->xAvgCharWidth;
    }
    if (ascentUnits + descentUnits <= 0) {
        ascentUnits = unitsPerEm * 0.8;
        descentUnits = unitsPerEm * 0.2;
    }
    const double cellUnits = ascentUnits + descentUnits;
    double em =
        height < 0 ? -static_cast<double>(height) : (height > 0 ? height : kDefaultCellHeight) * unitsPerEm / cellUnits;
    em = std::clamp(em, 1.0, kMaxEmPixels);
    const double scale = em / unitsPerEm;
    const int ascent = static_cast<int>(std::lround(ascentUnits * scale));
    const int cellHeight = std::max(1, static_cast<int>(std::lround(cellUnits * scale)));

    // The natural average width: the face's own figure, or the width of 'x'.
    double average = averageUnits * scale;
    if (average <= 0) {
        FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
        const FT_UInt x = FT_Get_Char_Index(face, 'x');
        average = x != 0 && FT_Load_Glyph(face, x, FT_LOAD_NO_BITMAP) == 0
                      ? static_cast<double>(face->glyph->advance.x) / 64.0
                      : em / 2;
    }
    average = std::max(average, 1.0);
    double emWidth = em;
    if (width > 0) emWidth = std::clamp(em * width / average, 1.0, kMaxEmWidthPixels);
    const int averageWidth = std::max(1, static_cast<int>(std::lround(average * emWidth / em)));

    Result result = kOk;
    if (FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(emWidth * 64)),
                         static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0)
        result = kFail;
    if (choice.oblique) {
        FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // slants by a fifth of the height
        FT_Set_Transform(face, &shear, nullptr);
    }

    Ref<Font> made = Ref<Font>::adopt(new Font(device));
    made->cellHeight_ = cellHeight;
    made->ascent_ = ascent;
    made->averageWidth_ = averageWidth;

    // Render every character; the images wait in one buffer until packed.
    Rendered rendered;
    const FT_Pos strength = static_cast<FT_Pos>(std::lround(em * 64 / 24));
    for (int byte = 0; byte < 256 && result == kOk; ++byte) {
        const char32_t c = unicodeOf(static_cast<unsigned char>(byte));
        if (isControl(c)) continue;
        Font::Glyph& g = made->glyphs_[byte];
        if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_NO_BITMAP) != 0) continue;
        FT_GlyphSlot slot = face->glyph;
        FT_Pos advance = slot->advance.x;
        if (choice.embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline_Embolden(&slot->outline, strength);
            advance += strength;
        }
        g.advance = static_cast<std::int32_t>((advance + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0 || bitmap.width == 0 || bitmap.rows == 0)
            continue;
        g.width = static_cast<std::int32_t>(bitmap.width);
        g.height = static_cast<std::int32_t>(bitmap.rows);
        g.left = slot->bitmap_left;
        g.top = ascent - slot->bitmap_top;
        rendered.offset[byte] = rendered.coverage.size();
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const std::uint8_t* line = bitmap.buffer + static_cast<std::size_t>(row) * bitmap.pitch;
            rendered.coverage.insert(rendered.coverage.end(), line, line + bitmap.width);
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    std::uint32_t atlasWidth = 0, atlasHeight = 0;
    if (result == kOk && !pack(made->glyphs_, atlasWidth, atlasHeight)) result = kOutOfVideoMemory;
    if (result == kOk) {
        // White everywhere, the glyph's coverage as alpha: the vertex colour shows through.
        std::vector<std::uint32_t> pixels(std::size_t{atlasWidth} * atlasHeight, 0x00FFFFFFu);
        for (int byte = 0; byte < 256; ++byte) {
            const Font::Glyph& g = made->glyphs_[byte];
            const std::uint8_t* source = rendered.coverage.data() + rendered.offset[byte];
            for (std::int32_t y = 0; y < g.height; ++y)
                for (std::int32_t x = 0; x < g.width; ++x)
                    pixels[std::size_t(g.atlasY + y) * atlasWidth + std::size_t(g.atlasX + x)] =
                        0x00FFFFFFu | std::uint32_t{*source++} << 24;
        }
        // One level: the mipmaps the device makes from it are never sampled.
        result = device->CreateTexture(atlasWidth, atlasHeight, pixels.data(), &made->atlas_, 1);
        made->texelU_ = 1.0f / static_cast<float>(atlasWidth);
        made->texelV_ = 1.0f / static_cast<float>(atlasHeight);
    }
    if (failed(result)) return result;
    *font = std::move(made);
    return kOk;
}

int Font::advanceAt(unsigned char c, int x, bool expandTabs) const {
    if (c == '\t' && expandTabs) {
        const int stop = kTabAverageWidths * averageWidth_;
        return (x / stop + 1) * stop - x;
    }
    return glyphs_[c].advance;
}

Font::Line Font::nextLine(const unsigned char* text, std::size_t size, std::size_t pos, std::uint32_t format,
                          std::int64_t maxWidth) const {
    const bool singleLine = (format & kDtSingleLine) != 0;
    const bool wrap = !singleLine && (format & kDtWordBreak) != 0;
    const bool tabs = (format & kDtExpandTabs) != 0;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t breakAt = kNone;  // the blank after the last word, where the line may end
    int breakWidth = 0;
    int x = 0;
    for (std::size_t i = pos; i < size; ++i) {
        const unsigned char c = text[i];
        if (!singleLine && (c == '\n' || c == '\r')) {
            const std::size_t next = c == '\r' && i + 1 < size && text[i + 1] == '\n' ? i + 2 : i + 1;
            return {pos, i, next, x};
        }
        if (wrap && isBlank(c) && i > pos && !isBlank(text[i - 1])) {
            breakAt = i;
            breakWidth = x;
        }
        const int step = advanceAt(c, x, tabs);
        // A word that would pass the right edge goes to the next line; a word
        // wider than the whole rect stays and overflows, as it cannot be split.
        if (wrap && !isBlank(c) && x + step > maxWidth && breakAt != kNone) {
            std::size_t next = breakAt;
            while (next < size && isBlank(text[next])) ++next;
            return {pos, breakAt, next, breakWidth};
        }
        x = std::min(x + step, kMaxLineWidth);
    }
    return {pos, size, size, x};
}

bool Font::drawVertices(std::size_t vertexCount) {
    // Text is drawn blended over what is there, unlit, solid, without depth,
    // and sampled texel for texel; each state is set only where it differs
    // and put back afterwards.
    struct Setting {
        RenderState state;
        std::uint32_t value;
    };
    static constexpr Setting kStates[] = {
        {RenderState::AlphaBlendEnable, 1}, {RenderState::SrcBlend, 5}, {RenderState::DestBlend, 6},
        {RenderState::BlendOp, 1},          {RenderState::ZEnable, 0},  {RenderState::FillMode, kFillSolid},
        {RenderState::Lighting, 0},
    };
    static constexpr SamplerState kSamplers[] = {SamplerState::MagFilter, SamplerState::MinFilter,
                                                 SamplerState::MipFilter};
    static constexpr std::uint32_t kFilters[] = {kFilterPoint, kFilterPoint, 0};  // no mipmaps
    constexpr std::size_t kStateCount = sizeof kStates / sizeof kStates[0];

    Device* dev = device();
    std::uint32_t savedStates[kStateCount];
    for (std::size_t i = 0; i < kStateCount; ++i) {
        savedStates[i] = dev->renderState(kStates[i].state);
        if (savedStates[i] != kStates[i].value) dev->SetRenderState(kStates[i].state, kStates[i].value);
    }
    std::uint32_t savedFilters[3];
    for (std::size_t i = 0; i < 3; ++i) {
        savedFilters[i] = dev->samplerState(0, kSamplers[i]);
        if (savedFilters[i] != kFilters[i]) dev->SetSamplerState(0, kSamplers[i], kFilters[i]);
    }
    const std::uint32_t savedFvf = dev->fvf();
    Texture* savedTexture = dev->texture(0);
    if (savedFvf != kTextFvf) dev->SetFVF(kTextFvf);
    if (savedTexture != atlas_.get()) dev->SetTexture(0, atlas_.get());

    const Result result = dev->DrawPrimitiveUP(PrimitiveType::TriangleList, static_cast<std::uint32_t>(vertexCount / 3),
                                               scratch_.data(), sizeof(Vertex));

    if (savedTexture != atlas_.get()) dev->SetTexture(0, savedTexture);
    if (savedFvf != kTextFvf) dev->SetFVF(savedFvf);
    for (std::size_t i = 0; i < 3; ++i)
        if (savedFilters[i] != kFilters[i]) dev->SetSamplerState(0, kSamplers[i], savedFilters[i]);
    for (std::size_t i = 0; i < kStateCount; ++i)
        if (savedStates[i] != kStates[i].value) dev->SetRenderState(kStates[i].state, savedStates[i]);
    return !failed(result);
}

int Font::DrawTextA(void*, const char* text, int count, Rect* rect, std::uint32_t format, std::uint32_t color) {
    if (text == nullptr) return 0;
    const bool measureOnly = (format & kDtCalcRect) != 0;
    if (measureOnly && rect == nullptr) return 0;
    Device* dev = device();
    if (!measureOnly && !dev->inScene()) return 0;

    const std::size_t size = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const Rect area = rect ? *rect : Rect{0, 0, 0, 0};
    const bool clipped = rect != nullptr && (format & kDtNoClip) == 0;
    const bool right = (format & kDtRight) != 0;
    const bool tabs = (format & kDtExpandTabs) != 0;
    const std::int64_t maxWidth = std::int64_t{area.right} - area.left;

    if (!measureOnly && size * 6 > scratch_.size()) scratch_.resize(size * 6);
    std::size_t vertices = 0;
    // Positions are worked out in 64 bits: rect corners anywhere in the
    // 32-bit range plus the text's extent cannot overflow them.
    std::int64_t lines = 0, widest = 0;
    const float u = texelU_, v = texelV_;
    for (std::size_t pos = 0; pos < size; ++lines) {
        const Line line = nextLine(bytes, size, pos, format, maxWidth);
        pos = line.next;
        widest = std::max<std::int64_t>(widest, line.width);
        if (measureOnly) continue;
        const std::int64_t top = area.top + lines * cellHeight_;
        int pen = 0;
        const std::int64_t origin = right ? std::int64_t{area.right} - line.width : std::int64_t{area.left};
        for (std::size_t i = line.begin; i < line.end; ++i) {
            const unsigned char c = bytes[i];
            const Glyph& g = glyphs_[c];
            const int x = pen;
            pen += advanceAt(c, pen, tabs);
            if (g.width == 0 || (c == '\t' && tabs)) continue;
            std::int64_t x0 = origin + x + g.left, y0 = top + g.top, x1 = x0 + g.width, y1 = y0 + g.height;
            std::int64_t ax = g.atlasX, ay = g.atlasY;
            if (clipped) {
                const std::int64_t cx0 = std::max<std::int64_t>(x0, area.left);
                const std::int64_t cy0 = std::max<std::int64_t>(y0, area.top);
                const std::int64_t cx1 = std::min<std::int64_t>(x1, area.right);
                const std::int64_t cy1 = std::min<std::int64_t>(y1, area.bottom);
                if (cx0 >= cx1 || cy0 >= cy1) continue;
                ax += cx0 - x0;
                ay += cy0 - y0;
                x0 = cx0;
                y0 = cy0;
                x1 = cx1;
                y1 = cy1;
            }
            // Half a pixel up and left: the device puts whole-number positions on
            // pixel centres, so this lays each texel exactly on one pixel.
            const float l = static_cast<float>(x0) - 0.5f, t = static_cast<float>(y0) - 0.5f;
            const float r = static_cast<float>(x1) - 0.5f, b = static_cast<float>(y1) - 0.5f;
            const float u0 = static_cast<float>(ax) * u, v0 = static_cast<float>(ay) * v;
            const float u1 = static_cast<float>(ax + x1 - x0) * u, v1 = static_cast<float>(ay + y1 - y0) * v;
            Vertex* q = &scratch_[vertices];
            q[0] = {l, t, 0, 1, color, u0, v0};
            q[1] = {r, t, 0, 1, color, u1, v0};
            q[2] = {l, b, 0, 1, color, u0, v1};
            q[3] = q[1];
            q[4] = {r, b, 0, 1, color, u1, v1};
            q[5] = q[2];
            vertices += 6;
        }
    }
    const int textHeight = clampToInt(lines * cellHeight_);
    if (measureOnly) {
        if (right)
            rect->left = clampToInt(rect->right - widest);
        else
            rect->right = clampToInt(rect->left + widest);
        rect->bottom = clampToInt(std::int64_t{rect->top} + textHeight);
        return textHeight;
    }
    if (vertices == 0) return textHeight;
    return drawVertices(vertices) ? textHeight : 0;
}

}  // namespace krovane::gfx
