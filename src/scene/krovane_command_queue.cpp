#include "scene/krovane_command_queue.h"

#include "scene/level.h"

using namespace krovane::scene;

Krovane_Command_Queue::Krovane_Command_Queue(Level* level) : level_(level) {
    pending_.fresh();
    timeLine_ = pending_.AddToId(0, true, "TIME_LINE");
}

void Krovane_Command_Queue::queueLine(const Korvane_string& line) { pending_.AddToId(timeLine_, false, line); }

void Krovane_Command_Queue::ProcessCommands() {
    if (pending_.nodeCount() <= 1) return;
    // Counted once: lines a handler might queue meanwhile wait for the next frame.
    const unsigned count = pending_.iCountParams(timeLine_);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned id = pending_.TopId(timeLine_);
        if (id == 0) continue;
        Dispatch(pending_.iLookName(id));
        pending_.DeleteById(id);
    }
}

void Krovane_Command_Queue::Dispatch(const Korvane_string& line) {
    if (level_ == nullptr) return;
    Korvane_string target, operation;
    line.DivideTwoParameters(&target, &operation);
    if (target == "console") {
        level_->objects().PrintToConsole(operation, MessageType::Text);
    } else if (target == "cam_mngr" || target == "camera_manager") {
        level_->cameras().RunCommand(operation);
    } else if (target == "obj_mngr" || target == "object_manager") {
        level_->objects().ExecuteCommand(operation);
    } else {
        level_->objects().PrintToConsole(line, MessageType::Comment);
    }
}
