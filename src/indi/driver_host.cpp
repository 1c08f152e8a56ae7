#include "indi/driver_host.h"

#include "core/dialog.h"

namespace kvr::indi {

int DriverHost::message_box(const MessageBox& box) {
    std::string text = box.caption.empty() ? box.text : box.caption + ": " + box.text;
    if (box.code >= 0) text = "message " + std::to_string(box.code) + ": " + text;
    log_(text);
    // Nobody confirms anything: a question gets its cautious answer.
    switch (box.buttons) {
        case BoxButtons::Ok:
            return kIdOk;
        case BoxButtons::OkCancel:
        case BoxButtons::YesNoCancel:
            return kIdCancel;
        case BoxButtons::YesNo:
            return kIdNo;
    }
    return kIdCancel;
}

int DriverHost::run_modal(DialogModel& dialog) {
    log_("dialog " + std::to_string(dialog.resource().id) + " cancelled: the driver has no user");
    return kIdCancel;
}

}  // namespace kvr::indi
