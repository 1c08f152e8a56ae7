#include "scope/scope_state.h"

#include "app/dialog.h"
#include "scope/serial_port.h"

namespace kvr {

ScopeState::ScopeState() = default;
ScopeState::~ScopeState() = default;

}  // namespace kvr
