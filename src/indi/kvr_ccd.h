#pragma once
// The camera as an INDI device: the main sensor as the CCD, the guider head as its guide chip,
// the guide port (relay box, or LX200 commands to a mount on a camera serial port) as its ST4
// port, and the filter wheel on the other camera serial port. The camera itself is the
// program's core on the worker's thread; this class only turns INDI requests into jobs and the
// worker's events into properties and BLOBs.
#include <indiccd.h>
#include <indifilterinterface.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "core/options.h"
#include "indi/camera_worker.h"

namespace kvr::indi {

// The driver's options: KVR_Q4_INDI_OPTIONS holds the program's command-line options (indiserver
// starts a driver by name alone); "--camera sim" runs on the simulated observatory.
inline constexpr const char* kOptionsVariable = "KVR_Q4_INDI_OPTIONS";
inline constexpr const char* kDeviceName = "KVR_Q4 CCD";

class KvrCcd : public INDI::CCD, public INDI::FilterInterface {
  public:
    explicit KvrCcd(LaunchOptions options);

    const char* getDefaultName() override { return kDeviceName; }
    bool initProperties() override;
    bool updateProperties() override;
    bool ISNewNumber(const char* dev, const char* name, double values[], char* names[],
                     int n) override;
    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[],
                     int n) override;
    bool ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) override;
    bool ISSnoopDevice(XMLEle* root) override;

  protected:
    bool Connect() override;
    bool Disconnect() override;
    void TimerHit() override;
    bool saveConfigItems(FILE* fp) override;

    bool StartExposure(float duration) override;
    bool AbortExposure() override;
    bool StartGuideExposure(float duration) override;
    bool AbortGuideExposure() override;
    bool UpdateCCDFrame(int x, int y, int w, int h) override;
    bool UpdateCCDBin(int hor, int ver) override;
    bool UpdateGuiderFrame(int x, int y, int w, int h) override;
    bool UpdateGuiderBin(int hor, int ver) override;
    void addFITSKeywords(INDI::CCDChip* chip) override;

    IPState GuideNorth(uint32_t ms) override;
    IPState GuideSouth(uint32_t ms) override;
    IPState GuideEast(uint32_t ms) override;
    IPState GuideWest(uint32_t ms) override;

    int QueryFilter() override { return CurrentFilter; }
    bool SelectFilter(int position) override;
    bool GetFilterNames() override;

  private:
    // Number requests (kvr_ccd_requests.cpp). Each is checked whole before any of it is used.
    bool numbers_acceptable(INumberVectorProperty& np, const double values[], char* names[], int n);
    void frame_request(INumberVectorProperty& np, INDI::CCDChip& chip, const double values[],
                       char* names[], int n);
    void binning_request(INumberVectorProperty& np, INDI::CCDChip& chip, const double values[],
                         char* names[], int n);
    void guide_request(INumberVectorProperty& np, const double values[], char* names[], int n);

    static void on_worker_event(int fd, void* self);
    void handle(const WorkerEvent& e);
    void main_frame_arrived(const WorkerEvent& e);
    void guider_frame_arrived(const WorkerEvent& e);
    void exposure_failed(INDI::CCDChip& chip, bool& busy, const char* what);
    void connected(const AccessorySettings& settings);
    ReadoutMode readout_mode() const;
    void set_readout_mode(ReadoutMode mode);
    IPState pulse(char direction, uint32_t ms);

    LaunchOptions options_;
    std::unique_ptr<CameraWorker> worker_;
    int timer_ = -1;
    std::vector<std::string> filter_names_;

    ISwitch ReadoutModeS[kReadoutModeCount];
    ISwitchVectorProperty ReadoutModeSP;
    // The last high-resolution mode, taken again when the binning goes back to 1.
    ReadoutMode high_res_mode_ = ReadoutMode::HighResFast;
    enum { GUIDE_PORT_RELAYS, GUIDE_PORT_LX200 };
    ISwitch GuidePortS[2];
    ISwitchVectorProperty GuidePortSP;

    using Moment = std::chrono::steady_clock::time_point;
    // A chip's exposure countdown, as clients time the readout by it: it runs from the start of
    // the light collection and reaches zero when the readout begins, not before (a read the
    // worker reaches late leaves it just above zero meanwhile).
    struct Countdown {
        Moment start;
        double request_s = 0;
        std::optional<Moment> light_end;  // known once the readout is under way
        double left(Moment now) const;
    };
    void update_countdowns();
    void light_began(INDI::CCDChip& chip, Countdown& countdown);
    void readout_began(const WorkerEvent& e, Countdown& countdown);
    static void on_light_end(void* self);
    Countdown main_countdown_;
    Countdown guider_countdown_;
    // Light collected by the frames being sent.
    double main_seconds_ = 0;
    double guider_seconds_ = 0;
    unsigned main_serial_ = 0;
    unsigned guider_serial_ = 0;
    // The last device named as the active telescope that has sent anything: only a mount that
    // is there gives the frames a TELESCOP card.
    std::string heard_mount_;
};

}  // namespace kvr::indi
