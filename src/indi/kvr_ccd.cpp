#include "indi/kvr_ccd.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "camera/camera_protocol.h"
#include "core/image_store.h"

namespace kvr::indi {

namespace {

constexpr double kLongestExposureS = 5400;  // the camera dialog's 90 minutes
constexpr uint32_t kCountdownMs = 250;
// What the countdown shows while the light still falls past the asked time (the read is late).
constexpr double kUnreadS = 0.001;
constexpr const char* kReadoutTab = "Image Settings";

uint32_t whole_ms(float seconds) {
    return static_cast<uint32_t>(
        std::lround(std::clamp<double>(seconds, 0, kLongestExposureS) * 1000));
}

// Bins per axis of a readout mode.
int mode_bin(ReadoutMode mode) {
    return is_binned(mode) ? 2 : 1;
}

}  // namespace

KvrCcd::KvrCcd(LaunchOptions options) : FilterInterface(this), options_(std::move(options)) {
    setVersion(1, 0);
}

bool KvrCcd::initProperties() {
    INDI::CCD::initProperties();
    FilterInterface::initProperties(FILTER_TAB);
    SetCCDCapability(CCD_CAN_ABORT | CCD_CAN_BIN | CCD_CAN_SUBFRAME | CCD_HAS_GUIDE_HEAD |
                     CCD_HAS_ST4_PORT);
    PrimaryCCD.setMinMaxStep("CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", 0, kLongestExposureS, 0.001,
                             false);
    PrimaryCCD.setMinMaxStep("CCD_BINNING", "HOR_BIN", 1, 2, 1, false);
    PrimaryCCD.setMinMaxStep("CCD_BINNING", "VER_BIN", 1, 2, 1, false);
    GuideCCD.setMinMaxStep("GUIDER_EXPOSURE", "GUIDER_EXPOSURE_VALUE", 0, kLongestExposureS, 0.01,
                           false);
    GuideCCD.setMinMaxStep("GUIDER_BINNING", "HOR_BIN", 1, 1, 1, false);
    GuideCCD.setMinMaxStep("GUIDER_BINNING", "VER_BIN", 1, 1, 1, false);
    addCaptureFormat({"INDI_MONO", "Mono", 16, true});

    for (int i = 0; i < kReadoutModeCount; ++i) {
        const auto mode = static_cast<ReadoutMode>(i);
        char name[16];
        std::snprintf(name, sizeof name, "MODE_%d", i + 1);
        IUFillSwitch(&ReadoutModeS[i], name, readout_mode_label(mode),
                     mode == ReadoutMode::Standard ? ISS_ON : ISS_OFF);
    }
    IUFillSwitchVector(&ReadoutModeSP, ReadoutModeS, kReadoutModeCount, getDeviceName(),
                       "KVR_READOUT_MODE", "Readout mode", kReadoutTab, IP_RW, ISR_1OFMANY, 0,
                       IPS_IDLE);
    IUFillSwitch(&GuidePortS[GUIDE_PORT_RELAYS], "RELAY_BOX", "Relay box", ISS_ON);
    IUFillSwitch(&GuidePortS[GUIDE_PORT_LX200], "LX200", "LX200 mount", ISS_OFF);
    IUFillSwitchVector(&GuidePortSP, GuidePortS, 2, getDeviceName(), "KVR_GUIDE_PORT", "Guide via",
                       GUIDE_TAB, IP_RW, ISR_1OFMANY, 0, IPS_IDLE);

    // The wheel is the camera's own: the FILTER keyword follows this device, not another.
    IUSaveText(&ActiveDeviceT[ACTIVE_FILTER], getDeviceName());
    IDSnoopDevice(getDeviceName(), "FILTER_SLOT");
    IDSnoopDevice(getDeviceName(), "FILTER_NAME");
    setDriverInterface(getDriverInterface() | FILTER_INTERFACE);
    addAuxControls();
    if (options_.camera == "sim") setSimulation(true);
    return true;
}

bool KvrCcd::updateProperties() {
    INDI::CCD::updateProperties();
    if (isConnected()) {
        SetCCDParams(kFullWidth, kFullHeight, 16, kColumnPitchUm, kSensorRowPitchUm);
        SetGuiderParams(kGuiderWidth, kGuiderHeight, 8, kColumnPitchUm, kFieldRowPitchUm);
        GuideCCD.setFrameBufferSize(kGuiderPixels);
        set_readout_mode(readout_mode());
        defineProperty(&ReadoutModeSP);
        defineProperty(&GuidePortSP);
    } else {
        deleteProperty(ReadoutModeSP.name);
        deleteProperty(GuidePortSP.name);
    }
    FilterInterface::updateProperties();
    return true;
}

bool KvrCcd::Connect() {
    LaunchOptions o = options_;
    o.camera = isSimulation() ? "sim" : "usb";
    if (!worker_) {
        worker_ = std::make_unique<CameraWorker>();
        IEAddCallback(worker_->event_fd(), &KvrCcd::on_worker_event, this);
    }
    const WorkerEvent e = worker_->connect(o);
    // Messages the program showed on the way come first.
    on_worker_event(worker_->event_fd(), this);
    if (e.kind != WorkerEvent::Kind::Connected) {
        char why[512];
        std::snprintf(why, sizeof why, "Cannot connect to the %s camera: %s",
                      o.camera == "sim" ? "simulated" : "USB", e.text.c_str());
        // To the client, and to the server's log (a driver's standard error).
        LOGF_ERROR("%s", why);
        std::fprintf(stderr, "%s\n", why);
        return false;
    }
    connected(e.settings);
    LOGF_INFO("Connected to the %s camera.", o.camera == "sim" ? "simulated" : "USB");
    timer_ = SetTimer(kCountdownMs);
    return true;
}

void KvrCcd::connected(const AccessorySettings& settings) {
    filter_names_ = settings.filter_names;
    // The names are the settings file's: built again at every connection.
    if (FilterNameT) {
        for (int i = 0; i < FilterNameTP->ntp; ++i) free(FilterNameT[i].text);
        delete[] FilterNameT;
        FilterNameT = nullptr;
    }
    const int count = static_cast<int>(filter_names_.size());
    FilterSlotN[0].min = 1;
    FilterSlotN[0].max = count;
    CurrentFilter = std::clamp(settings.current_filter, 1, count);
    FilterSlotN[0].value = CurrentFilter;
    FilterNames = filter_names_;
    CurrentFilterSlot = CurrentFilter;
    const bool lx200 = settings.telescope == 'l';
    GuidePortS[GUIDE_PORT_RELAYS].s = lx200 ? ISS_OFF : ISS_ON;
    GuidePortS[GUIDE_PORT_LX200].s = lx200 ? ISS_ON : ISS_OFF;
}

bool KvrCcd::GetFilterNames() {
    const int count = static_cast<int>(filter_names_.size());
    if (count == 0) return false;
    FilterNameT = new IText[count]{};
    for (int i = 0; i < count; ++i) {
        char name[32], label[32];
        std::snprintf(name, sizeof name, "FILTER_SLOT_NAME_%d", i + 1);
        std::snprintf(label, sizeof label, "Filter#%d", i + 1);
        IUFillText(&FilterNameT[i], name, label, filter_names_[i].c_str());
    }
    IUFillTextVector(FilterNameTP, FilterNameT, count, getDeviceName(), "FILTER_NAME", "Filter",
                     FILTER_TAB, IP_RW, 0, IPS_IDLE);
    return true;
}

bool KvrCcd::Disconnect() {
    if (timer_ >= 0) RemoveTimer(timer_);
    timer_ = -1;
    if (worker_) worker_->disconnect();
    InExposure = InGuideExposure = false;
    return true;
}

bool KvrCcd::saveConfigItems(FILE* fp) {
    INDI::CCD::saveConfigItems(fp);
    IUSaveConfigSwitch(fp, &ReadoutModeSP);
    IUSaveConfigSwitch(fp, &GuidePortSP);
    return true;
}

bool KvrCcd::ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
    if (dev && !std::strcmp(dev, getDeviceName()) && FilterNameTP &&
        !std::strcmp(name, FilterNameTP->name)) {
        FilterInterface::processText(dev, name, texts, names, n);
        return true;
    }
    return INDI::CCD::ISNewText(dev, name, texts, names, n);
}

bool KvrCcd::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
    if (dev && !std::strcmp(dev, getDeviceName())) {
        if (!std::strcmp(name, ReadoutModeSP.name)) {
            if (InExposure) {
                ReadoutModeSP.s = IPS_ALERT;
                IDSetSwitch(&ReadoutModeSP, "The readout mode cannot change during an exposure.");
                return true;
            }
            IUUpdateSwitch(&ReadoutModeSP, states, names, n);
            set_readout_mode(readout_mode());
            return true;
        }
        if (!std::strcmp(name, GuidePortSP.name)) {
            IUUpdateSwitch(&GuidePortSP, states, names, n);
            GuidePortSP.s = IPS_OK;
            IDSetSwitch(&GuidePortSP, nullptr);
            return true;
        }
    }
    return INDI::CCD::ISNewSwitch(dev, name, states, names, n);
}

ReadoutMode KvrCcd::readout_mode() const {
    const int i = IUFindOnSwitchIndex(&ReadoutModeSP);
    return static_cast<ReadoutMode>(i < 0 ? 0 : i);
}

// The binning follows the mode: 2 × 2 for the binned one, 1 × 1 for the others; a binned
// frame's window lies on even pixels.
void KvrCcd::set_readout_mode(ReadoutMode mode) {
    for (int i = 0; i < kReadoutModeCount; ++i)
        ReadoutModeS[i].s = i == static_cast<int>(mode) ? ISS_ON : ISS_OFF;
    if (!is_binned(mode)) high_res_mode_ = mode;
    ReadoutModeSP.s = IPS_OK;
    IDSetSwitch(&ReadoutModeSP, nullptr);
    const int bin = mode_bin(mode);
    if (PrimaryCCD.getBinX() != bin || PrimaryCCD.getBinY() != bin) PrimaryCCD.setBin(bin, bin);
    UpdateCCDFrame(PrimaryCCD.getSubX(), PrimaryCCD.getSubY(), PrimaryCCD.getSubW(),
                   PrimaryCCD.getSubH());
}

bool KvrCcd::UpdateCCDBin(int hor, int ver) {
    if (InExposure) {
        LOG_ERROR("The binning cannot change during an exposure.");
        return false;
    }
    if (hor != ver || (hor != 1 && hor != 2)) {
        LOG_ERROR("The camera bins 1 x 1 (high resolution modes) or 2 x 2 (standard mode).");
        return false;
    }
    if (hor != mode_bin(readout_mode()))
        set_readout_mode(hor == 2 ? ReadoutMode::Standard : high_res_mode_);
    return true;
}

bool KvrCcd::UpdateCCDFrame(int x, int y, int w, int h) {
    if (InExposure) {
        LOG_ERROR("The frame cannot change during an exposure.");
        return false;
    }
    if (x < 0 || y < 0 || w < 1 || h < 1 || x + w > kFullWidth || y + h > kFullHeight) {
        LOGF_ERROR("The frame %d x %d at %d, %d does not lie on the %d x %d sensor.", w, h, x, y,
                   kFullWidth, kFullHeight);
        return false;
    }
    // Binned pixels are pairs of columns and of rows: the window starts and ends on even ones.
    // Rounding down keeps it on the sensor.
    const int step = mode_bin(readout_mode());
    auto fit = [step](int v) { return v / step * step; };
    PrimaryCCD.setFrame(fit(x), fit(y), std::max(step, fit(w)), std::max(step, fit(h)));
    return true;
}

bool KvrCcd::UpdateGuiderFrame(int x, int y, int w, int h) {
    if (x == 0 && y == 0 && w == kGuiderWidth && h == kGuiderHeight) return true;
    LOG_ERROR("The guider head reads its whole 500 x 290 frame.");
    return false;
}

bool KvrCcd::UpdateGuiderBin(int hor, int ver) {
    if (hor == 1 && ver == 1) return true;
    LOG_ERROR("The guider head does not bin.");
    return false;
}

bool KvrCcd::StartExposure(float duration) {
    if (!worker_) return false;
    const ReadoutMode mode = readout_mode();
    const int bin = mode_bin(mode);
    FrameWindow window{PrimaryCCD.getSubX(), PrimaryCCD.getSubY(), PrimaryCCD.getSubW(),
                       PrimaryCCD.getSubH()};
    {
        // The last frame may still be on its way out.
        std::lock_guard<std::mutex> guard(ccdBufferLock);
        PrimaryCCD.setFrameBufferSize(window.width / bin * (window.height / bin) * 2);
        main_seconds_ = duration;
    }
    main_countdown_ = {std::chrono::steady_clock::now(), duration, std::nullopt};
    PrimaryCCD.setExposureDuration(duration);
    InExposure = true;
    worker_->start_main(++main_serial_, mode, window, whole_ms(duration));
    return true;
}

bool KvrCcd::AbortExposure() {
    if (worker_) worker_->abort_main();
    InExposure = false;
    ++main_serial_;
    return true;
}

bool KvrCcd::StartGuideExposure(float duration) {
    if (!worker_) return false;
    guider_countdown_ = {std::chrono::steady_clock::now(), duration, std::nullopt};
    GuideCCD.setExposureDuration(duration);
    InGuideExposure = true;
    worker_->start_guider(++guider_serial_, whole_ms(duration));
    return true;
}

bool KvrCcd::AbortGuideExposure() {
    if (worker_) worker_->abort_guider();
    InGuideExposure = false;
    ++guider_serial_;
    return true;
}

double KvrCcd::Countdown::left(Moment now) const {
    if (light_end) return std::max(0.0, std::chrono::duration<double>(*light_end - now).count());
    return std::max(kUnreadS, request_s - std::chrono::duration<double>(now - start).count());
}

void KvrCcd::TimerHit() {
    if (!isConnected()) return;
    update_countdowns();
    timer_ = SetTimer(kCountdownMs);
}

// The countdown stays at zero while the frame downloads.
void KvrCcd::update_countdowns() {
    const Moment now = std::chrono::steady_clock::now();
    if (InExposure) PrimaryCCD.setExposureLeft(main_countdown_.left(now));
    if (InGuideExposure) GuideCCD.setExposureLeft(guider_countdown_.left(now));
}

// The light collection began only now: the countdown counts from here.
void KvrCcd::light_began(INDI::CCDChip& chip, Countdown& countdown) {
    chip.setExposureDuration(countdown.request_s);
    countdown.start = std::chrono::steady_clock::now();
    countdown.light_end.reset();
}

// The light collection ends now or, for a read the camera times, when its exposure is over:
// the countdown reaches zero then, on time rather than at the next tick.
void KvrCcd::readout_began(const WorkerEvent& e, Countdown& countdown) {
    countdown.light_end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(e.light_left_ms);
    if (e.light_left_ms == 0)
        update_countdowns();
    else
        IEAddTimer(static_cast<int>(e.light_left_ms) + 1, &KvrCcd::on_light_end, this);
}

void KvrCcd::on_light_end(void* self) {
    auto* ccd = static_cast<KvrCcd*>(self);
    if (ccd->isConnected()) ccd->update_countdowns();
}

void KvrCcd::on_worker_event(int, void* self) {
    auto* ccd = static_cast<KvrCcd*>(self);
    for (const WorkerEvent& e : ccd->worker_->take_events()) ccd->handle(e);
}

void KvrCcd::handle(const WorkerEvent& e) {
    using Kind = WorkerEvent::Kind;
    switch (e.kind) {
        case Kind::Log:
            LOGF_WARN("%s", e.text.c_str());
            break;
        case Kind::MainStarted:
            // After the wheel stopped, perhaps.
            if (InExposure && e.serial == main_serial_) light_began(PrimaryCCD, main_countdown_);
            break;
        case Kind::GuiderStarted:
            // After the head's clearing read.
            if (InGuideExposure && e.serial == guider_serial_)
                light_began(GuideCCD, guider_countdown_);
            break;
        case Kind::MainReadout:
            if (InExposure && e.serial == main_serial_) readout_began(e, main_countdown_);
            break;
        case Kind::GuiderReadout:
            if (InGuideExposure && e.serial == guider_serial_) readout_began(e, guider_countdown_);
            break;
        case Kind::MainFrame:
            if (InExposure && e.serial == main_serial_) main_frame_arrived(e);
            break;
        case Kind::MainFailed:
            if (InExposure && e.serial == main_serial_)
                exposure_failed(PrimaryCCD, InExposure, "exposure");
            break;
        case Kind::GuiderFrame:
            if (InGuideExposure && e.serial == guider_serial_) guider_frame_arrived(e);
            break;
        case Kind::GuiderFailed:
            if (InGuideExposure && e.serial == guider_serial_)
                exposure_failed(GuideCCD, InGuideExposure, "guider exposure");
            break;
        case Kind::PulseDone:
            if (isConnected())
                GuideComplete(e.direction == 'n' || e.direction == 's' ? AXIS_DE : AXIS_RA);
            break;
        case Kind::FilterDone:
            CurrentFilterSlot = e.filter;
            SelectFilterDone(e.filter);
            break;
        case Kind::FilterFailed:
            FilterSlotNP.s = IPS_ALERT;
            IDSetNumber(&FilterSlotNP, "Filter %d could not be selected.", e.filter);
            break;
        case Kind::Connected:
        case Kind::ConnectFailed:
            break;
    }
}

void KvrCcd::exposure_failed(INDI::CCDChip& chip, bool& busy, const char* what) {
    busy = false;
    chip.setExposureFailed();
    LOGF_ERROR("The %s failed: the camera did not deliver the frame.", what);
}

void KvrCcd::main_frame_arrived(const WorkerEvent& e) {
    {
        std::lock_guard<std::mutex> guard(ccdBufferLock);
        // The settings cannot change while exposing: a frame of another size is not this one.
        const size_t pixels = size_t(e.width) * e.height;
        if (size_t(PrimaryCCD.getFrameBufferSize()) != pixels * 2 ||
            e.width != PrimaryCCD.getSubW() / PrimaryCCD.getBinX() ||
            e.height != PrimaryCCD.getSubH() / PrimaryCCD.getBinY()) {
            exposure_failed(PrimaryCCD, InExposure, "exposure");
            return;
        }
        worker_->copy_main_frame(reinterpret_cast<uint16_t*>(PrimaryCCD.getFrameBuffer()), pixels);
        main_seconds_ = e.seconds;
    }
    InExposure = false;
    PrimaryCCD.setExposureLeft(0);
    ExposureComplete(&PrimaryCCD);
}

void KvrCcd::guider_frame_arrived(const WorkerEvent& e) {
    {
        std::lock_guard<std::mutex> guard(ccdBufferLock);
        worker_->copy_guider_frame(GuideCCD.getFrameBuffer(), kGuiderPixels);
        guider_seconds_ = e.seconds;
    }
    InGuideExposure = false;
    GuideCCD.setExposureLeft(0);
    ExposureComplete(&GuideCCD);
}

bool KvrCcd::ISSnoopDevice(XMLEle* root) {
    const char* device = findXMLAttValu(root, "device");
    if (device && *device && std::strcmp(device, ActiveDeviceT[ACTIVE_TELESCOPE].text) == 0)
        heard_mount_ = device;
    return INDI::CCD::ISSnoopDevice(root);
}

void KvrCcd::addFITSKeywords(INDI::CCDChip* chip) {
    INDI::CCD::addFITSKeywords(chip);
    fitsfile* fits = *chip->fitsFilePointer();
    // The base class names the active telescope even when no such mount exists (its default is
    // the INDI telescope simulator): a name nobody answered to is no telescope.
    if (heard_mount_.empty() || heard_mount_ != ActiveDeviceT[ACTIVE_TELESCOPE].text) {
        int missing = 0;
        fits_delete_key(fits, "TELESCOP", &missing);
    }
    // A read the worker reached late collected light for longer than asked.
    int status = 0;
    const bool main = chip == &PrimaryCCD;
    fits_update_key_dbl(fits, "EXPTIME", main ? main_seconds_ : guider_seconds_, 6,
                        "Total Exposure Time (s)", &status);
    if (!main) return;
    const ReadoutMode mode = readout_mode();
    fits_update_key_str(fits, "READMODE", readout_mode_label(mode), "Camera readout mode", &status);
    if (mode == ReadoutMode::HighResFast && chip->getSubY() + chip->getSubH() >= kFullHeight) {
        fits_write_history(
            fits, "Last row repeats the row above: the fast read has none of its own", &status);
    }
}

IPState KvrCcd::pulse(char direction, uint32_t ms) {
    if (!worker_ || !isConnected()) return IPS_ALERT;
    const char drive = GuidePortS[GUIDE_PORT_LX200].s == ISS_ON ? 'l' : 'b';
    worker_->pulse(direction, ms, drive);
    return IPS_BUSY;
}

IPState KvrCcd::GuideNorth(uint32_t ms) {
    return pulse('n', ms);
}
IPState KvrCcd::GuideSouth(uint32_t ms) {
    return pulse('s', ms);
}
IPState KvrCcd::GuideEast(uint32_t ms) {
    return pulse('e', ms);
}
IPState KvrCcd::GuideWest(uint32_t ms) {
    return pulse('w', ms);
}

bool KvrCcd::SelectFilter(int position) {
    if (InExposure) {
        LOG_ERROR("The filter cannot change during an exposure.");
        return false;
    }
    if (!worker_ || position < 1 || position > static_cast<int>(filter_names_.size())) {
        LOGF_ERROR("Filter %d is not on the wheel (1 to %d).", position,
                   static_cast<int>(filter_names_.size()));
        return false;
    }
    worker_->select_filter(position);
    return true;
}

}  // namespace kvr::indi
