#pragma once
// The hourglass for the lifetime of the object.
#include "core/host.h"
#include "core/program.h"

namespace kvr {

class BusyCursor {
  public:
    explicit BusyCursor(Program& p) : p_(p) { p_.host.set_wait_cursor(true); }
    ~BusyCursor() { p_.host.set_wait_cursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    Program& p_;
};

}  // namespace kvr
