#include "scene/krovane_command_queue.h"

#include "scene/krovane_camera_manager.h"
#include "scene/krovane_object_manager.h"

using namespace krovane::scene;

Krovane_Command_Queue::Krovane_Command_Queue(Krovane_Camera_Manager* cameraManager,
                                             Krovane_Object_Manager* objectManager)
    : cameraManager_(cameraManager), objectManager_(objectManager) {
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
    Korvane_string target, operation;
    line.DivideTwoParameters(&target, &operation);
    if (target == "console") {
        if (objectManager_) objectManager_->PrintToConsole(operation, MessageType::Text);
    } else if (target == "cam_mngr" || target == "camera_manager") {
        if (cameraManager_) cameraManager_->RunCommand(operation);
    } else if (target == "obj_mngr" || target == "object_manager") {
        if (objectManager_) objectManager_->ExecuteCommand(operation);
    } else if (objectManager_) {
        objectManager_->PrintToConsole(line, MessageType::Comment);
    }
}
