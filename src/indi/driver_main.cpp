// indi_kvr_q4_ccd: the entry points libindi's driver main loop calls. The options come from the
// environment (KVR_Q4_INDI_OPTIONS), since indiserver starts drivers by name alone.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "indi/kvr_ccd.h"

namespace {

kvr::LaunchOptions driver_options() {
    std::vector<std::string> words;
    if (const char* text = std::getenv(kvr::indi::kOptionsVariable)) {
        std::istringstream in(text);
        for (std::string w; in >> w;) words.push_back(w);
    }
    std::string error;
    auto options = kvr::parse_options(words, error);
    if (!options) {
        std::cerr << "indi_kvr_q4_ccd: " << kvr::indi::kOptionsVariable << ": " << error
                  << " (ignored)\n";
        options.emplace();
    }
    // The driver looks for the camera on USB unless told otherwise.
    if (std::find(words.begin(), words.end(), "--camera") == words.end()) options->camera = "usb";
    return *options;
}

kvr::indi::KvrCcd& driver() {
    static std::unique_ptr<kvr::indi::KvrCcd> ccd =
        std::make_unique<kvr::indi::KvrCcd>(driver_options());
    return *ccd;
}

}  // namespace

void ISGetProperties(const char* dev) {
    driver().ISGetProperties(dev);
}

void ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) {
    driver().ISNewSwitch(dev, name, states, names, n);
}

void ISNewText(const char* dev, const char* name, char* texts[], char* names[], int n) {
    driver().ISNewText(dev, name, texts, names, n);
}

void ISNewNumber(const char* dev, const char* name, double values[], char* names[], int n) {
    driver().ISNewNumber(dev, name, values, names, n);
}

void ISNewBLOB(const char* dev, const char* name, int sizes[], int blobsizes[], char* blobs[],
               char* formats[], char* names[], int n) {
    driver().ISNewBLOB(dev, name, sizes, blobsizes, blobs, formats, names, n);
}

void ISSnoopDevice(XMLEle* root) {
    driver().ISSnoopDevice(root);
}
