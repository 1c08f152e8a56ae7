#pragma once
// The simulator's event log (--sim-log FILE): one CSV line per event on the shared clock, under
// a header naming the columns:
//   t_ms            milliseconds of the shared clock
//   device          mount, relays, ao, wheel, port1, port2 (the camera's serial ports)
//   event           what happened: "bytes" received, "pulse" on/off, "pointing" truth, …
//   data            the bytes or values, printable characters as they are and others as \xHH
//   ra_err_arcsec   on "pointing" lines: where the mount truly points minus where it should,
//   dec_err_arcsec  right ascension on the sky (times cos δ) and declination; on the AO unit's
//                   "tilt" lines: how far the element moves the image the same ways, from where
//                   it then stands, with its motion (arcsec/s east, north) and travel (arcsec)
//                   in data
// Lines from several threads (a pseudo-terminal server) are written whole.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace kvr::sim {

class SimLog {
  public:
    // Opens `path` for writing and writes the header; error() says why it could not.
    explicit SimLog(const std::string& path);
    ~SimLog();
    SimLog(const SimLog&) = delete;
    SimLog& operator=(const SimLog&) = delete;

    const std::string& error() const { return error_; }
    void event(int64_t t_ms, const char* device, const char* event, const std::string& data);
    void bytes(int64_t t_ms, const char* device, const uint8_t* bytes, size_t count);
    void pointing(int64_t t_ms, double ra_err_arcsec, double dec_err_arcsec);
    void tilt(int64_t t_ms, double east_arcsec, double north_arcsec, double east_per_s,
              double north_per_s, double travel_arcsec);

  private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace kvr::sim
