#include "console/console_log_view.h"

#include <algorithm>
#include <cmath>

#include "gfx/device.h"
#include "gfx/font.h"
#include "params/dynamic_row.h"
#include "platform/code_page_1251.h"

namespace {
constexpr auto kCaption = krovane::cp1251("команды:");
constexpr Console_Box::FontLook kTextLook{"Courier ", 14, 6, 200};
constexpr unsigned kLogRoot = 1;
constexpr int kThumbHalf = 6;       // the thumb is 12 pixels square
constexpr int kThumbInset = 8;      // its centre at the start, from the right and bottom edges
constexpr int kGrabHalfWidth = 12;  // how near the thumb's centre a press grabs it
constexpr int kDropNear = 6;        // how near the thumb's centre the grab must have started
}  // namespace

Console_LogView::Console_LogView(const DynamicRow* logTree, const std::vector<unsigned>* ids)
    : Console_Box(kCaption.c_str(), kTextLook, 9, 30, 730, 150, 0.1f, 0xFF91919B, kPlainBackColor, kPlainBackColor),
      log(logTree),
      lineIds(ids) {
    placeThumbAtEnd();
}

void Console_LogView::placeThumbAtEnd() {
    thumbX = saturate(static_cast<std::int64_t>(x()) + w() - kThumbInset);
    thumbY = saturate(static_cast<std::int64_t>(y()) + h() - kThumbInset);
    shown = h() / kLineHeight - 3;
    scroll = 0;
}

std::uint64_t Console_LogView::lineCount() const { return log ? log->iCountKnots(kLogRoot) : 0; }

void Console_LogView::scrollToThumb() {
    const double n = static_cast<double>(lineCount());
    const double d = static_cast<double>(y()) + h() - thumbY;
    const double p = h() != 0 ? 100.0 * d / h() : 0.0;
    // Bounded well inside 64 bits whatever the place: a thumb is dropped only inside the view.
    const double s = std::clamp(p * n / 100.0, -1e15, 1e15);
    shown = static_cast<std::int64_t>(std::trunc(static_cast<double>(h() / kLineHeight - 2) + s - 3.0));
    scroll = static_cast<std::int64_t>(std::trunc(s - 3.0));
}

std::uint32_t Console_LogView::colorForType(std::string_view type) {
    if (type == "_TEXT_") return kTextColor;
    if (type == "_ERROR_") return kErrorColor;
    if (type == "_COMMENT_") return kCommentColor;
    if (type == "_SYSTEM_") return kSystemColor;
    return 0;
}

krovane::gfx::Result Console_LogView::Rebuild() {
    Console_Box::Rebuild();
    fillQuad(thumbQuad, static_cast<float>(thumbX) - kThumbHalf, static_cast<float>(thumbY) - kThumbHalf,
             static_cast<float>(thumbX) + kThumbHalf, static_cast<float>(thumbY) + kThumbHalf, 0.01f, kThumbColor);
    return krovane::gfx::kOk;
}

void Console_LogView::Draw(krovane::gfx::Device* device) {
    if (!ensureResources(device)) return;
    currentDevice()->SetTexture(0, nullptr);
    drawBackground();
    drawQuad(thumbQuad);
    drawCaption();

    const auto fx = static_cast<float>(x()), fy = static_cast<float>(y());
    const float right = fx + static_cast<float>(w()), bottom = fy + static_cast<float>(h());
    if (focused()) {
        if (dragging()) {
            drawOutline();
        } else {
            // The two lines mark off the scroll column.
            drawVertical(right - 16, fy - 1, bottom + 1);
            drawVertical(right - 19, fy - 1, bottom + 1);
            drawRectangle(fx - 1, fy - 1, right + 1, bottom + 1);
        }
    }
    if (thumbGrab) {
        if (mouseY() < static_cast<std::int64_t>(y()) + kDropNear ||
            mouseY() > static_cast<std::int64_t>(y()) + h() - kDropNear)
            thumbGrab = false;
        else
            drawRectangle(right - 13, static_cast<float>(mouseY() - kThumbHalf), right - 3,
                          static_cast<float>(mouseY() + kThumbHalf));
    }

    // Only the lines in view are visited: line E is lineIds[E - 1].
    if (log == nullptr || lineIds == nullptr) return;
    const auto n = static_cast<std::int64_t>(lineCount());
    const std::int64_t first = std::max<std::int64_t>(1, n - shown);
    const std::int64_t last = std::min<std::int64_t>({n, n - scroll, static_cast<std::int64_t>(lineIds->size())});
    for (std::int64_t e = first; e <= last; ++e) {
        const unsigned id = (*lineIds)[static_cast<std::size_t>(e - 1)];
        const std::uint32_t color = colorForType(log->text(log->TopId(id)));
        if (color == 0) continue;
        const std::int64_t top = static_cast<std::int64_t>(y()) + (shown - n + e) * kLineHeight;
        const std::int64_t left = static_cast<std::int64_t>(x()) + 12;
        drawText(log->text(id), {saturate(left), saturate(top), saturate(left + w() - 10), saturate(top + h() - 20)},
                 krovane::gfx::kDtNoClip, color);
    }
}

bool Console_LogView::pressed(bool in, std::int32_t mx, std::int32_t my) {
    setBackColor(kPlainBackColor);
    const std::int64_t right = static_cast<std::int64_t>(x()) + w();
    const bool onThumb = right - 12 < mx && mx < right - 2 && static_cast<std::int64_t>(thumbY) - kGrabHalfWidth < my &&
                         my < static_cast<std::int64_t>(thumbY) + kGrabHalfWidth;
    if (in && onThumb) thumbGrab = true;
    return in && !onThumb;
}

void Console_LogView::movedBy(std::int64_t dx, std::int64_t dy) {
    thumbX = saturate(thumbX + dx);
    thumbY = saturate(thumbY + dy);
    setBackColor(kPlainBackColor);
}

bool Console_LogView::released(std::int32_t, std::int32_t my) {
    if (!thumbGrab || !focused()) return false;
    // A release always ends the grab; it scrolls only when the grab started
    // on the thumb itself and ends inside the view.
    thumbGrab = false;
    const std::int64_t fromCentre = static_cast<std::int64_t>(pressY()) - thumbY;
    if (fromCentre > -kDropNear && fromCentre < kDropNear && y() < my && my < static_cast<std::int64_t>(y()) + h()) {
        thumbY = saturate(static_cast<std::int64_t>(my) - kThumbHalf);
        scrollToThumb();
        Rebuild();
    }
    return true;
}
