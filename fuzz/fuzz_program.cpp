#include "fuzz_program.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "app/script_host.h"
#include "app/startup.h"
#include "core/clock.h"

namespace kvr::fuzz {

namespace {

VirtualClock& clock() {
    static VirtualClock c;
    return c;
}

const std::string& root() {
    static const std::string made = [] {
        char dir[] = "/tmp/kvr_fuzz_XXXXXX";
        const char* d = mkdtemp(dir);
        return std::string(d ? d : "/tmp");
    }();
    return made;
}

}  // namespace

ScriptHost& script_host() {
    static std::ostream nowhere(nullptr);
    static ScriptHost host(nowhere, clock(), &clock());
    return host;
}

Program& program() {
    static std::unique_ptr<Program> p = make_program(clock(), script_host(), root());
    return *p;
}

std::string scratch_file(const std::string& name) {
    return root() + "/" + name;
}

bool write_whole(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

}  // namespace kvr::fuzz
