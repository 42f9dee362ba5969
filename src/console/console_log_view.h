// Console_LogView: the console's view of the log's latest lines, coloured by
// type, with a scroll thumb in a column at its right edge.
//
// With N lines in the log, the lines numbered N - shown to N - scroll (from
// 1, the header being line 1) are drawn, 10 pixels apart, the oldest at the
// top: line E at y + (shown - N + E) * 10. A line whose type is none of the
// four is skipped and keeps its row empty. Dropping the thumb in the column
// scrolls: the thumb's height above the bottom edge, as a share of the view's
// height, is the share of the log scrolled back from its end.
//
// `shown` and `scroll` are 64-bit so that any log length scrolls right. The
// lines drawn are found through the console's index of line ids, so a frame
// costs the same for a log of any length.
#pragma once

#include <cstdint>
#include <vector>

#include "console/console_box.h"

class DynamicRow;

class Console_LogView : public Console_Box {
public:
    static constexpr int kLineHeight = 10;
    // Line colours by type.
    static constexpr std::uint32_t kTextColor = 0xFFFFFFFF;
    static constexpr std::uint32_t kErrorColor = 0xFFED5D34;
    static constexpr std::uint32_t kCommentColor = 0xFFFEF236;
    static constexpr std::uint32_t kSystemColor = 0xFF0060A2;
    static constexpr std::uint32_t kThumbColor = 0xFF191937;

    // `log` is the console's log (root "LOG", id 1) and `lineIds` the ids of
    // its lines in order; both are borrowed and may grow between frames.
    Console_LogView(const DynamicRow* log, const std::vector<unsigned>* lineIds);

    krovane::gfx::Result Rebuild() override;
    void Draw(krovane::gfx::Device* device) override;

    // Puts the thumb at the bottom right corner and shows the latest lines.
    void placeThumbAtEnd();
    // Sets `shown` and `scroll` from the thumb's place and the log's length.
    void scrollToThumb();
    // Lines in the log.
    std::uint64_t lineCount() const;
    // The colour of a line's type name, or 0 for a line that is not drawn.
    static std::uint32_t colorForType(std::string_view type);

    const DynamicRow* log;
    const std::vector<unsigned>* lineIds;
    std::int32_t thumbX = 0, thumbY = 0;
    std::int64_t shown = 0, scroll = 0;
    bool thumbGrab = false;
    QuadVertex thumbQuad[4] = {};

protected:
    // Every press sets the plain background; one on the thumb grabs it rather than the box.
    bool pressed(bool inside, std::int32_t mouseX, std::int32_t mouseY) override;
    void movedBy(std::int64_t dx, std::int64_t dy) override;  // carries the thumb along
    // A grabbed thumb's release: scrolls if the grab was within 6 pixels of its centre and ends inside.
    bool released(std::int32_t mouseX, std::int32_t mouseY) override;
};
