// Console_ClockBox: the console's clock, a small box showing the console
// clock's stamp "[S:MMM] " as of the previous frame. It takes focus and moves
// like the input box.
#pragma once

#include "console/console_box.h"

class Console_ClockBox : public Console_Box {
public:
    Console_ClockBox();

    void Draw(krovane::gfx::Device* device) override;

    Korvane_string text;
};
