#include "acquire/telescope_check.h"

#include "core/host.h"
#include "core/messages.h"
#include "core/program.h"
#include "files/settings_file.h"
#include "scope/drive_link.h"
#include "scope/telescope_dialog.h"

namespace kvr {

namespace {

// The link check with the settings-load message of the caller. False when the drive did not
// answer.
bool check_link(Program& p, Msg ini_message) {
    ScopeState& scope = p.scope;
    if (scope.comfound) return true;
    if (load_ini_file(p, p.settings.ini_file) != 0) {
        messages(p, ini_message);
        save_ini_file(p, p.settings.ini_file);
    }
    if (scope.telescope == 'b') {
        interface_check(p);
        scope.comfound = 1;
        return true;
    }
    if (!drive_check(p)) {
        scope.telescope = 'n';
        messages(p, Msg::NoTelescope);
        return false;
    }
    scope.comfound = 1;
    return true;
}

}  // namespace

void comm_check(Program& p) {
    check_link(p, Msg::IniLoadFailed);
}

void telescope_control(Program& p) {
    if (!check_link(p, Msg::IniLoadFailedForControl)) return;
    // Without a drive there is nothing to control.
    if (p.scope.telescope != 'l' && p.scope.telescope != 'b') {
        messages(p, Msg::NoTelescope);
        return;
    }
    if (p.scope.telescope == 'b') interface_cr(p);
    open_telescope_window(p);
}

}  // namespace kvr
