#include "core/history.h"

#include <algorithm>
#include <cstring>

#include "core/program.h"

namespace kvr {

void append_history(Program& p, std::string_view text) {
    for (int i = 0; i < kHistoryUsedLines; ++i) {
        char* line = p.shell.process_info[i];
        if (line[0] != '\0') continue;
        const size_t n = std::min(text.size(), static_cast<size_t>(kHistoryLineBytes - 1));
        std::memset(line, 0, kHistoryLineBytes);
        std::memcpy(line, text.data(), n);
        return;
    }
}

void clear_history(Program& p) {
    for (int i = 0; i < kHistoryUsedLines; ++i)
        std::memset(p.shell.process_info[i], 0, kHistoryLineBytes);
}

int history_length(const Program& p) {
    int n = 0;
    while (n < kHistoryUsedLines && p.shell.process_info[n][0] != '\0') ++n;
    return n;
}

}  // namespace kvr
