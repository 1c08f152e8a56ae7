#pragma once
// Opening and refreshing the modeless measuring windows whose models live in MeasureWindows.
#include <memory>

#include "core/dialog.h"
#include "core/program.h"

namespace kvr {

// The window's model, made on first use and kept: the platform may still hold the previous
// window when the command opens it again.
template <typename Model>
Model& measure_window(Program& p, std::shared_ptr<DialogModel>& slot) {
    if (!slot) slot = std::make_shared<Model>(p);
    return static_cast<Model&>(*slot);
}

template <typename Model>
void open_measure_window(Program& p, std::shared_ptr<DialogModel>& slot) {
    p.host.open_modeless(measure_window<Model>(p, slot));
}

// Redraws an open window from state (nothing when it was never opened).
inline void refresh_measure_window(Program& p, const std::shared_ptr<DialogModel>& slot) {
    if (slot && !slot->ended()) p.host.refresh_dialog(*slot);
}

// The platform's standard closing events: the window's close box and Escape send Cancel.
inline bool is_click(const ControlEvent& e, int id) {
    return e.kind == ControlEvent::Kind::Click && e.id == id;
}

}  // namespace kvr
