#include "scope/drive_link.h"

#include "core/program.h"

namespace kvr {

namespace {

void choose_port(Program& p) {
    p.settings.Port = p.settings.slewcom == '1' ? 0 : 1;
}

}  // namespace

int drive_check(Program& p) {
    choose_port(p);
    return 1;
}

int interface_check(Program& p) {
    choose_port(p);
    return 1;
}

void interface_cr(Program& p) {
    (void)p;
}

void close_drive(Program& p) {
    (void)p;
}

}  // namespace kvr
