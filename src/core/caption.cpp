#include "core/caption.h"

#include <cstring>
#include <string>

#include "core/program.h"
#include "core/version.h"

namespace kvr {

void SetCaption(Program& p, const char* name) {
    char* f = p.shell.FileName;
    const char* shown = name && *name ? name : "(Untitled)";
    std::strncpy(f, shown, sizeof p.shell.FileName - 1);
    f[sizeof p.shell.FileName - 1] = '\0';
    p.host.set_caption(std::string(kAppName) + " - " + f);
}

}  // namespace kvr
