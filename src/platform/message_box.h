// MessageBox: the engine's one dialog, a modal warning box with a caption, a
// text and an OK button.
//
// Where no display can show a box, and until a windowing backend installs a
// presenter, the caption and text go to stderr. Tests install a presenter of
// their own to capture what would be shown, so no test ever blocks on a
// dialog. Texts are code page 1251; the stderr fallback writes them as UTF-8.
#pragma once

#include <functional>
#include <string_view>

namespace krovane::platform {

class MessageBox {
public:
    using Presenter = std::function<void(std::string_view caption, std::string_view text)>;

    // Shows the box and returns when it is dismissed.
    static void show(std::string_view caption, std::string_view text);

    // Replaces the presenter; an empty one restores the stderr fallback.
    // Returns the presenter that was installed before.
    static Presenter setPresenter(Presenter presenter);
};

}  // namespace krovane::platform
