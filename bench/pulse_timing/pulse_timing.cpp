// Timing of LX200 guide pulses on the real clock: the program drives the simulated camera, whose
// mount port is a pseudo-terminal; a reader on the far end stamps the arrival of each move and
// stop command. Prints the error of (stop − move) against `slew_time` over the pulses, median and
// worst. Then the length of a guide cycle of an RA and a Dec pulse, sent one after the other and
// at once (guide_pulses), through LX200 commands and through the relay box.
// Usage: kvr_pulse_timing [PULSES]
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/script_host.h"
#include "app/startup.h"
#include "camera/usb_link.h"
#include "core/program.h"
#include "guiding/guide_drive.h"
#include "platform/real_clock.h"
#include "scope/drive_commands.h"
#include "sim/camera_enumerator.h"

namespace {

using Steady = std::chrono::steady_clock;

// Camera serial port 0 is the pseudo-terminal's master side.
struct PtyPorts : kvr::sim::CameraPorts {
    explicit PtyPorts(int master) : master_(master) {}
    void relays_changed(uint16_t, int64_t) override {}
    void serial_write(uint16_t, const uint8_t* bytes, size_t count, int64_t) override {
        if (::write(master_, bytes, count) != static_cast<ssize_t>(count)) std::perror("write");
    }
    void serial_read(uint16_t, uint8_t* out, size_t count, int64_t) override {
        std::fill_n(out, count, uint8_t{0});
    }
    int master_;
};

// Stamps every five-character command "#:Xy#" arriving on the slave side.
struct Reader {
    struct Stamp {
        std::string command;
        Steady::time_point at;
    };
    void run(int fd) {
        std::string pending;
        while (!stop) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0) continue;
            char buf[64];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            const auto now = Steady::now();
            for (ssize_t i = 0; i < n; ++i) {
                pending += buf[i];
                if (pending.size() >= 5 && buf[i] == '#' && pending[pending.size() - 5] == '#') {
                    std::lock_guard lock(mutex);
                    stamps.push_back({pending.substr(pending.size() - 5), now});
                    pending.clear();
                }
            }
        }
    }
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<Stamp> stamps;
};

}  // namespace

int main(int argc, char** argv) {
    const int pulses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);

    kvr::RealClock clock;
    std::ostringstream out;
    kvr::ScriptHost host(out, clock, nullptr);
    const auto root = std::filesystem::temp_directory_path() / "kvr_pulse_timing";
    std::filesystem::create_directories(root);
    auto program = kvr::make_program(clock, host, root.string());
    kvr::Program& p = *program;
    kvr::sim::CameraConfig config;
    auto bus = std::make_shared<kvr::sim::CameraEnumerator>(clock, config);
    bus->camera().attach_ports(std::make_shared<PtyPorts>(master));
    p.devices = bus;
    if (!kvr::find_camera(p)) {
        std::fprintf(stderr, "no simulated camera\n");
        return 1;
    }

    Reader reader;
    std::thread thread([&] { reader.run(slave); });
    p.scope.telescope = 'l';
    p.settings.slewcom = '1';
    const int lengths[] = {20, 50, 100, 200, 500};
    const char directions[] = {'n', 'e', 's', 'w'};
    std::vector<int> asked;
    for (int i = 0; i < pulses; ++i) {
        p.scope.slewdir = directions[i % 4];
        p.scope.slew_time = lengths[i % 5];
        asked.push_back(p.scope.slew_time);
        kvr::drive_slew(p);
    }
    clock.sleep_ms(100);
    reader.stop = true;
    thread.join();

    std::vector<double> errors;
    const auto& s = reader.stamps;
    for (size_t i = 0; i + 1 < s.size() && errors.size() < asked.size(); ++i) {
        if (s[i].command[2] != 'M' || s[i + 1].command[2] != 'Q') continue;
        const double ms = std::chrono::duration<double, std::milli>(s[i + 1].at - s[i].at).count();
        errors.push_back(ms - asked[errors.size()]);
    }
    if (errors.size() != asked.size()) {
        std::fprintf(stderr, "only %zu of %d pulses seen\n", errors.size(), pulses);
        return 1;
    }
    std::vector<double> magnitude(errors.size());
    std::transform(errors.begin(), errors.end(), magnitude.begin(),
                   [](double e) { return std::abs(e); });
    std::sort(magnitude.begin(), magnitude.end());
    const double median = magnitude[magnitude.size() / 2];
    const double p90 = magnitude[magnitude.size() * 9 / 10];
    const double worst = magnitude.back();
    const double mean = [&] {
        double sum = 0;
        for (double e : errors) sum += e;
        return sum / static_cast<double>(errors.size());
    }();
    std::printf("%d guide pulses (20 to 500 ms) on a pseudo-terminal, stop − move − slew_time:\n",
                pulses);
    std::printf("  median |error| %.3f ms, 90th percentile %.3f ms, worst %.3f ms, mean %+.3f ms\n",
                median, p90, worst, mean);

    // A cycle of RA 300 ms and Dec 200 ms, ten times each way and route.
    const int cycles = 10;
    auto cycle_ms = [&](bool at_once) {
        const auto start = Steady::now();
        for (int i = 0; i < cycles; ++i) {
            if (at_once) {
                kvr::guide_pulses(p, 'e', 300, 'n', 200);
            } else {
                kvr::guide_pulse(p, 'x', 'e', 300);
                kvr::guide_pulse(p, 'y', 'n', 200);
            }
        }
        return std::chrono::duration<double, std::milli>(Steady::now() - start).count() / cycles;
    };
    std::printf("guide cycle of RA 300 ms and Dec 200 ms (mean of %d):\n", cycles);
    for (const char route : {'l', 'b'}) {
        p.scope.telescope = route;
        const double apart = cycle_ms(false);
        const double together = cycle_ms(true);
        std::printf("  %s: one after the other %.1f ms, guide_pulses %.1f ms\n",
                    route == 'l' ? "LX200 commands" : "relay box     ", apart, together);
    }
    ::close(master);
    ::close(slave);
    return 0;
}
