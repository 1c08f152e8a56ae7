#include "core/drive_paths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kvr {

namespace fs = std::filesystem;

std::string default_drive_root() {
    if (const char* d = std::getenv("KVR_Q4_DRIVES"); d && *d) return d;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
        return std::string(x) + "/kvr_q4/drives";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/kvr_q4/drives";
}

bool is_drive_path(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string match_component(const fs::path& dir, std::string_view name) {
    std::error_code ec;
    if (fs::exists(dir / std::string(name), ec)) return std::string(name);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (same_ignoring_case(entry, name)) return entry;
    }
    return std::string(name);
}

std::string map_drive_path(const std::string& root, std::string_view path) {
    if (!is_drive_path(path)) return std::string(path);
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    fs::path out = fs::path(root) / std::string(1, letter);
    std::error_code ec;
    if (letter == 'c') fs::create_directories(out, ec);
    std::string_view rest = path.substr(2);
    while (!rest.empty()) {
        size_t cut = rest.find_first_of("\\/");
        std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            // Never climb above the drive's own directory.
            if (out.filename() != std::string(1, letter)) out = out.parent_path();
            continue;
        }
        out /= match_component(out, part);
    }
    return out.string();
}

bool drive_exists(const std::string& root, char letter) {
    std::error_code ec;
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    return fs::is_directory(fs::path(root) / std::string(1, l), ec);
}

}  // namespace kvr
