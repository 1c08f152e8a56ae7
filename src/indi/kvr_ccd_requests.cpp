// The number requests of clients. Every number is checked here before anything uses it: a
// request holding one that is not finite or lies outside its element's range changes nothing
// and is sent back refused. Frames, binning and guide pulses are taken whole from the request,
// so what reads back is what is used and a pulse is only ever the one just asked for.
#include <cctype>
#include <cmath>
#include <cstring>

#include "indi/kvr_ccd.h"

namespace kvr::indi {

namespace {

bool named(const char* a, const char* b) {
    return !std::strcmp(a, b);
}

// The values have passed numbers_acceptable: finite and within their elements' ranges.
int whole(double v) {
    return static_cast<int>(std::lround(v));
}

}  // namespace

bool KvrCcd::ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n) {
    if (!dev || !named(dev, getDeviceName()))
        return INDI::CCD::ISNewNumber(dev, name, values, names, n);
    INDI::PropertyNumber property = getNumber(name);
    // A property not defined now (before the connection) has nothing to change.
    if (!property.isValid()) return false;
    INumberVectorProperty& np = *&property;
    if (!numbers_acceptable(np, values, names, n)) return true;
    if (named(name, "CCD_FRAME")) {
        frame_request(np, PrimaryCCD, values, names, n);
    } else if (named(name, "GUIDER_FRAME")) {
        frame_request(np, GuideCCD, values, names, n);
    } else if (named(name, "CCD_BINNING")) {
        binning_request(np, PrimaryCCD, values, names, n);
    } else if (named(name, "GUIDER_BINNING")) {
        binning_request(np, GuideCCD, values, names, n);
    } else if (named(name, "TELESCOPE_TIMED_GUIDE_NS") || named(name, "TELESCOPE_TIMED_GUIDE_WE")) {
        guide_request(np, values, names, n);
    } else if (named(name, FilterSlotNP.name)) {
        FilterInterface::processNumber(dev, name, values, names, n);
    } else {
        return INDI::CCD::ISNewNumber(dev, name, values, names, n);
    }
    return true;
}

bool KvrCcd::numbers_acceptable(INumberVectorProperty& np, const double values[], char* names[],
                                int n) {
    for (int i = 0; i < n; ++i) {
        const INumber* e = IUFindNumber(&np, names[i]);
        const bool ranged = e && e->min < e->max;
        if (e && std::isfinite(values[i]) &&
            !(ranged && (values[i] < e->min || values[i] > e->max)))
            continue;
        np.s = IPS_ALERT;
        if (!e)
            IDSetNumber(&np, "%s has no element %s: nothing changed.", np.name, names[i]);
        else if (ranged)
            IDSetNumber(&np, "%s.%s: %g is not a number from %g to %g: nothing changed.", np.name,
                        names[i], values[i], e->min, e->max);
        else
            IDSetNumber(&np, "%s.%s: %g is not a number: nothing changed.", np.name, names[i],
                        values[i]);
        return false;
    }
    return true;
}

void KvrCcd::frame_request(INumberVectorProperty& np, INDI::CCDChip& chip, const double values[],
                           char* names[], int n) {
    static constexpr const char* kElements[] = {"X", "Y", "WIDTH", "HEIGHT"};
    int v[] = {chip.getSubX(), chip.getSubY(), chip.getSubW(), chip.getSubH()};
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 4; ++k)
            if (named(names[i], kElements[k])) v[k] = whole(values[i]);
    const bool main = &chip == &PrimaryCCD;
    const bool ok =
        main ? UpdateCCDFrame(v[0], v[1], v[2], v[3]) : UpdateGuiderFrame(v[0], v[1], v[2], v[3]);
    np.s = ok ? IPS_OK : IPS_ALERT;
    IDSetNumber(&np, nullptr);
}

void KvrCcd::binning_request(INumberVectorProperty& np, INDI::CCDChip& chip, const double values[],
                             char* names[], int n) {
    int hor = chip.getBinX();
    int ver = chip.getBinY();
    for (int i = 0; i < n; ++i) (named(names[i], "HOR_BIN") ? hor : ver) = whole(values[i]);
    const bool ok = &chip == &PrimaryCCD ? UpdateCCDBin(hor, ver) : UpdateGuiderBin(hor, ver);
    np.s = ok ? IPS_OK : IPS_ALERT;
    IDSetNumber(&np, nullptr);
}

// A timed pulse on one axis: the elements are TIMED_GUIDE_N and _S, or _W and _E, each named
// for its direction by its last letter. Elements the request leaves out are 0.
void KvrCcd::guide_request(INumberVectorProperty& np, const double values[], char* names[], int n) {
    for (int k = 0; k < np.nnp; ++k) np.np[k].value = 0;
    for (int i = 0; i < n; ++i) IUFindNumber(&np, names[i])->value = values[i];
    const INumber* asked = nullptr;
    for (int k = 0; k < np.nnp; ++k) {
        if (np.np[k].value <= 0) continue;
        if (asked) {
            np.s = IPS_ALERT;
            IDSetNumber(&np, "A pulse goes one way at a time: nothing was sent.");
            return;
        }
        asked = &np.np[k];
    }
    np.s = IPS_OK;
    if (asked) {
        const char direction = static_cast<char>(
            std::tolower(static_cast<unsigned char>(asked->name[std::strlen(asked->name) - 1])));
        np.s = pulse(direction, static_cast<uint32_t>(whole(asked->value)));
    }
    IDSetNumber(&np, nullptr);
}

}  // namespace kvr::indi
