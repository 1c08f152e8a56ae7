// The script language's parser: every line of the input through the script runner, except the
// verbs that start work (`command`, and `wait`, which lets queued input act), whose arguments
// are parsed the same way by the other verbs. Queued dialog actions and answers are dropped
// after each input so that nothing carries over.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "app/script_host.h"
#include "app/script_runner.h"
#include "fuzz_program.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvr::Program& p = kvr::fuzz::program();
    static std::ostringstream out;
    kvr::ScriptRunner runner(p, kvr::fuzz::script_host(), out);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    for (std::string line; std::getline(in, line);) {
        const size_t verb = line.find_first_not_of(" \t");
        if (verb != std::string::npos &&
            (line.compare(verb, 7, "command") == 0 || line.compare(verb, 4, "wait") == 0))
            continue;
        runner.run_line(line, error);
    }
    kvr::fuzz::script_host().discard_queued_input();
    out.str({});
    return 0;
}
