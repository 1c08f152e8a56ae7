#include "core/caption.h"

#include <cstring>
#include <string>

#include "core/program.h"
#include "core/version.h"

namespace kvr {

namespace {

const char* record_file_name(Program& p, const char* name) {
    char* f = p.shell.FileName;
    const char* shown = name && *name ? name : "(Untitled)";
    std::strncpy(f, shown, sizeof p.shell.FileName - 1);
    f[sizeof p.shell.FileName - 1] = '\0';
    return f;
}

}  // namespace

void set_main_caption(Program& p, const char* name) {
    p.host.set_caption(std::string(kAppName) + " - " + record_file_name(p, name));
}

void set_startup_caption(Program& p) {
    record_file_name(p, nullptr);
    p.host.set_caption(kAppName);
}

}  // namespace kvr
