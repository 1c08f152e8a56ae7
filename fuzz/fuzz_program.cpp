#include "fuzz_program.h"

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "app/script_host.h"
#include "core/clock.h"

namespace kvr::fuzz {

Program& program() {
    static VirtualClock clock;
    static std::ostream nowhere(nullptr);
    static ScriptHost host(nowhere, clock, &clock);
    static std::unique_ptr<Program> p = [] {
        char root[] = "/tmp/kvr_fuzz_XXXXXX";
        const char* made = mkdtemp(root);
        return make_program(clock, host, made ? made : "/tmp");
    }();
    return *p;
}

}  // namespace kvr::fuzz
