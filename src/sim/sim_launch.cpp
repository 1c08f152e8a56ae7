#include "sim/sim_launch.h"

#include <iostream>

namespace kvr::sim {

CameraConfig camera_config(const LaunchOptions& options) {
    CameraConfig c;
    c.seed = options.sim_seed;
    c.behaviour.download_ms_per_field = options.sim_download_ms;
    c.drift_x_px_per_s = options.sim_drift_x_px_per_s;
    c.drift_y_px_per_s = options.sim_drift_y_px_per_s;
    for (const SimCameraFault& f : options.sim.camera_faults) {
        CameraFault fault;
        fault.kind = f.kind == "timeout"  ? CameraFaultKind::Timeout
                     : f.kind == "stall"  ? CameraFaultKind::Stall
                     : f.kind == "unplug" ? CameraFaultKind::Unplug
                                          : CameraFaultKind::ShortBlock;
        fault.main_read = f.main_read;
        fault.unplugged_ms = f.unplugged_ms;
        c.behaviour.faults.push_back(fault);
    }
    return c;
}

ObservatoryConfig observatory_config(const LaunchOptions& options) {
    const SimOptions& o = options.sim;
    ObservatoryConfig c;
    c.camera = camera_config(options);
    c.log_path = o.log_path;
    c.mount_pty_path = o.mount_pty_path;
    c.ao_pty_path = o.ao_pty_path;
    for (size_t i = 0; i < c.ports.size(); ++i) {
        const std::string& device = o.port_devices[i];
        if (device == "mount") c.ports[i] = PortDevice::kMount;
        if (device == "wheel") c.ports[i] = PortDevice::kFilterWheel;
        if (device == "ao") c.ports[i] = PortDevice::kAoUnit;
        if (device == "none") c.ports[i] = PortDevice::kNone;
        if (!o.serial_paths[i].empty()) {
            c.ports[i] = PortDevice::kExternal;
            c.external_paths[i] = o.serial_paths[i];
        }
    }
    if (o.relays == "ao") c.relays = RelayDevice::kAoUnit;
    c.lx200_strict = o.lx200_strict;
    c.atmosphere.enabled = o.atmosphere;
    c.optics.plate_scale_arcsec_per_px =
        o.plate_scale_arcsec_per_px.value_or(c.optics.plate_scale_arcsec_per_px);
    c.optics.rotation_deg = o.rotation_deg.value_or(c.optics.rotation_deg);
    if (o.seeing_arcsec)
        c.camera.conditions.seeing_fwhm_px = *o.seeing_arcsec / c.optics.plate_scale_arcsec_per_px;
    MountConfig& m = c.mount;
    m.latitude_deg = o.latitude_deg.value_or(m.latitude_deg);
    m.longitude_deg = o.longitude_deg.value_or(m.longitude_deg);
    m.start_dec_deg = o.start_dec_deg.value_or(m.start_dec_deg);
    m.periodic_error_pp_arcsec = o.periodic_error_pp_arcsec.value_or(m.periodic_error_pp_arcsec);
    m.worm_period_s = o.worm_period_s.value_or(m.worm_period_s);
    m.drift_dec_arcsec_per_min = o.drift_dec_arcsec_per_min.value_or(m.drift_dec_arcsec_per_min);
    m.dec_backlash_arcsec = o.dec_backlash_arcsec.value_or(m.dec_backlash_arcsec);
    AtmosphereConfig& a = c.atmosphere;
    a.cloud_interval_min = o.cloud_interval_min.value_or(a.cloud_interval_min);
    a.cloud_duration_s = o.cloud_duration_s.value_or(a.cloud_duration_s);
    a.cloud_depth = o.cloud_depth.value_or(a.cloud_depth);
    return c;
}

std::shared_ptr<CameraEnumerator> make_camera_enumerator(const LaunchOptions& options,
                                                         Clock& clock) {
    auto observatory = std::make_shared<Observatory>(clock, observatory_config(options));
    if (!observatory->error().empty()) std::cerr << "kvr_q4: simulator: " << observatory->error();
    return std::make_shared<CameraEnumerator>(std::move(observatory));
}

}  // namespace kvr::sim
