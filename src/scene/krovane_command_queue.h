// Krovane_Command_Queue: the console lines waiting to run, executed once per
// frame oldest first and handed to the manager their first word names:
//   "console"                         the rest is printed to the log as Text
//   "cam_mngr", "camera_manager"      the rest goes to the camera manager
//   "obj_mngr", "object_manager"      the rest goes to the object manager
// Any other first word (an empty one too, case counts) makes the whole line
// a Comment line of the log, so the console doubles as a note pad. The
// queue prints through the object manager.
//
// The pending tree holds one root knot "TIME_LINE" (id 1) and one param per
// queued line; the console's input box queues a line with queueLine when
// Enter is pressed. The queue sits with the scene because it calls the
// scene's managers.
#pragma once

#include "log/line_queue.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"

namespace krovane::scene {
class Level;
}

class Krovane_Command_Queue : public krovane::log::LineQueue {
public:
    // The level is borrowed; without one, lines are dropped.
    explicit Krovane_Command_Queue(krovane::scene::Level* level = nullptr);
    Krovane_Command_Queue(const Krovane_Command_Queue&) = delete;
    Krovane_Command_Queue& operator=(const Krovane_Command_Queue&) = delete;

    // The level the lines go to from now on (a level loaded again is a new one).
    void setLevel(krovane::scene::Level* level) { level_ = level; }
    // Adds `line` to the pending tree, to run at the next ProcessCommands.
    void queueLine(const Korvane_string& line) override;
    // Runs every line queued before the call, oldest first, and deletes it.
    void ProcessCommands();
    // Runs one line.
    void Dispatch(const Korvane_string& line);

    const DynamicRow& pending() const { return pending_; }

private:
    krovane::scene::Level* level_;
    DynamicRow pending_;
    unsigned timeLine_ = 0;
};
