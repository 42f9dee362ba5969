#include "platform/message_box.h"

#include <cstdio>
#include <string>
#include <utility>

#include "platform/code_page_1251.h"

namespace krovane::platform {

namespace {

MessageBox::Presenter& presenter() {
    static MessageBox::Presenter installed;
    return installed;
}

void printToStderr(std::string_view caption, std::string_view text) {
    const std::string line = cp1251ToUtf8(caption) + ": " + cp1251ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void MessageBox::show(std::string_view caption, std::string_view text) {
    if (presenter())
        presenter()(caption, text);
    else
        printToStderr(caption, text);
}

MessageBox::Presenter MessageBox::setPresenter(Presenter next) { return std::exchange(presenter(), std::move(next)); }

}  // namespace krovane::platform
