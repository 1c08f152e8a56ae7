#include "sim/observatory.h"

#include "sim/filter_wheel.h"
#include "sim/light_path.h"
#include "sim/lx200_session.h"
#include "sim/pty_server.h"
#include "sim/serial_line.h"

namespace kvr::sim {

Observatory::Observatory(Clock& clock, const ObservatoryConfig& config) {
    if (!config.log_path.empty()) {
        log_ = std::make_shared<SimLog>(config.log_path);
        if (!log_->error().empty()) {
            add_error(log_->error());
            log_.reset();
        }
    }
    sky_ = make_sky(clock, config.camera);
    const int64_t start = sky_->now_ms();
    mount_ = std::make_unique<Mount>(config.mount, sky_->timeline(), clock.calendar_time(),
                                     config.camera.seed, log_);
    ao_ = std::make_shared<AoUnit>(config.ao, *mount_, log_, start);
    wheel_ = std::make_shared<FilterWheel>(config.wheel, start);
    pointing_ = std::make_shared<PointingView>(*mount_, ao_, *sky_, config, start);
    sky_->set_image_shift_source(pointing_);
    sky_->set_effects(std::make_shared<LightPath>(
        Atmosphere(config.atmosphere, config.camera.seed, config.optics.plate_scale_arcsec_per_px),
        *mount_, wheel_, kSensorColumns));
    camera_ = std::make_shared<Camera>(sky_, config.camera);
    ports_ = std::make_shared<AccessoryPorts>(*mount_, log_);
    for (size_t i = 0; i < config.ports.size(); ++i) wire_port(i, config);
    if (config.relays == RelayDevice::kAoUnit) ports_->wire_relays_to(ao_.get());
    camera_->attach_ports(ports_);

    std::string error;
    if (!config.mount_pty_path.empty()) {
        auto pty = PtyServer::start(config.mount_pty_path, "mount-pty",
                                    std::make_shared<Lx200Session>(*mount_, config.lx200_strict),
                                    sky_->timeline(), log_, error);
        if (pty)
            ptys_.push_back(std::move(pty));
        else
            add_error(error);
    }
    if (!config.ao_pty_path.empty()) {
        auto pty =
            PtyServer::start(config.ao_pty_path, "ao-pty", ao_, sky_->timeline(), log_, error);
        if (pty)
            ptys_.push_back(std::move(pty));
        else
            add_error(error);
    }
}

Observatory::~Observatory() {
    ptys_.clear();
}

void Observatory::add_error(const std::string& message) {
    error_ += message + '\n';
}

void Observatory::wire_port(size_t index, const ObservatoryConfig& config) {
    const auto port = static_cast<uint16_t>(index);
    switch (config.ports[index]) {
        case PortDevice::kNone:
            return;
        case PortDevice::kMount:
            ports_->connect(port, std::make_shared<Lx200Session>(*mount_, config.lx200_strict));
            return;
        case PortDevice::kFilterWheel:
            ports_->connect(port, wheel_);
            return;
        case PortDevice::kAoUnit:
            ports_->connect(port, ao_);
            return;
        case PortDevice::kExternal: {
            std::string error;
            auto line = SerialLine::open(config.external_paths[index], error);
            if (line)
                ports_->connect(port, std::move(line));
            else
                add_error(error);
            return;
        }
    }
}

}  // namespace kvr::sim
