#include "sim/sim_log.h"

#include <cerrno>
#include <cstring>

namespace kvr::sim {

namespace {

// A CSV field: quoted, with quotes doubled.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

}  // namespace

SimLog::SimLog(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        error_ = "cannot write the simulator log " + path + ": " + std::strerror(errno);
        return;
    }
    std::fputs("t_ms,device,event,data,ra_err_arcsec,dec_err_arcsec\n", file_);
    std::fflush(file_);
}

SimLog::~SimLog() {
    if (file_) std::fclose(file_);
}

void SimLog::event(int64_t t_ms, const char* device, const char* event, const std::string& data) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fprintf(file_, "%lld,%s,%s,%s,,\n", static_cast<long long>(t_ms), device, event,
                 quoted(data).c_str());
    std::fflush(file_);
}

void SimLog::bytes(int64_t t_ms, const char* device, const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            text += hex;
        }
    }
    event(t_ms, device, "bytes", text);
}

void SimLog::pointing(int64_t t_ms, double ra_err_arcsec, double dec_err_arcsec) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fprintf(file_, "%lld,mount,pointing,,%.3f,%.3f\n", static_cast<long long>(t_ms),
                 ra_err_arcsec, dec_err_arcsec);
    std::fflush(file_);
}

void SimLog::tilt(int64_t t_ms, double east_arcsec, double north_arcsec, double east_per_s,
                  double north_per_s, double travel_arcsec) {
    std::lock_guard lock(mutex_);
    if (!file_) return;
    std::fprintf(file_, "%lld,ao,tilt,%.3f %.3f %.3f,%.3f,%.3f\n", static_cast<long long>(t_ms),
                 east_per_s, north_per_s, travel_arcsec, east_arcsec, north_arcsec);
    std::fflush(file_);
}

}  // namespace kvr::sim
