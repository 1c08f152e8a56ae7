#include "core/scope_state.h"

#include "core/dialog.h"
#include "core/serial_port.h"

namespace kvr {

ScopeState::ScopeState() = default;
ScopeState::~ScopeState() = default;

}  // namespace kvr
