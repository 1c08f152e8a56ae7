#include "core/messages.h"

#include <cstdarg>
#include <cstdio>

#include "core/program.h"
#include "core/version.h"

namespace kvr {

namespace {

constexpr std::string_view kTexts[61] = {
    "",
    "Warning!\nNo INI file found, please set defaults...",
    "QX Interface not found.\n\nPort set to default.\n\nIf you have a QX Camera make sure all the "
    "cables are plugged in and it is switched on. ",
    "Failed to Open Darkframe QX File",
    "Sorry, chosen Darkframe is not an QX File",
    "Failed to Open Flatfield QX File",
    "Sorry, chosen Flatfield is not a QX File",
    "Image not Colour Converted",
    "Failed to create temp bitmap",
    "Unable to create temp bitmap file header",
    "Unable to create temp bitmap file",
    "Failed to Open QX File",
    "Sorry, you didn't choose a valid QX File",
    "Unable to load FITS file",
    "Unable to load FITS file, File was not saved by this program",
    "Unable to load FITS file, File was not saved by this program",
    "Sorry, you didn't choose an QX File",
    "Failed to Save QX File",
    "Unable to create/overwrite QX File",
    "Unable to create/overwrite QX File",
    "Unable to load INI file, please delete and try again",
    "Unable to save INI file, please check disk space",
    "Unable to create file, check disk space",
    "Unable to load INI file, please delete and try again",
    "Unable to save INI file, please check disk space",
    "Image not Colour Converted",
    "Unable to contact camera, please check cables",
    "Unable to load INI file, please delete and try again",
    "Unable to save INI file, please check disk space",
    "Unable to create file, check disk space",
    "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit "
    "window or in QX geometry.",
    "Sorry, you are already in Merging mode.",
    "Cannot open bitmap file",
    "Sorry. Guide star lost.\n\nStar may have moved more than 10 pixels, or has different "
    "intensity to previous reading (+/-5%)",
    "Sorry. Cannot find suitable guide star\n\nStar must be at least +/-5% of next brightest.",
    "Sorry, Can Only Select Star in Standard or 150% Display Options.",
    "Sorry. No Connection to Telescope",
    "Sorry, you cannot run Photometry, Row Plot and Merging at the same time",
    "Sorry, Photometry only available in standard Geometry. Ensure Image is not stretched to fit "
    "window or in QX geometry.",
    "Sorry, you are already in Photometry mode. Click left Mouse button when on object you wish "
    "to measure",
    "Sorry, outside Image area - try again",
    "You didn't choose an QX or a suitable FITS File",
    "Unable to load INI file, defaults set",
    "Sorry, Merging only available in standard Geometry. Ensure Image is not stretched to fit "
    "window or in QX geometry.",
    "Sorry, you are already in Merging mode.",
    "Failed to Open QX or suitable FITs File",
    "Sorry, chosen Comparison file is not an QX or FITs File",
    "",
    "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched to fit "
    "window",
    "Unable to create file, check disk space",
    "",
    "Guiding Terminated",
    "Sorry! AutoSave Directory is invalid",
    "You must first take an image and pick a star",
    "Communication with telescope failed",
    "Telescope interface not set or camera not found",
    "",
    "Selfguiding terminated - lost star",
    "Sorry, cannot oblige at this time",
    "Sorry, already guiding with external camera",
    "Sorry! Mk 2 Controlbox not present. Self-guiding not available",
};

}  // namespace

std::string_view message_text(int code) {
    if (code < 1 || code > 60) return {};
    return kTexts[code];
}

namespace {

int show_message(Program& p, Msg code, std::string_view text) {
    MessageBox box;
    box.code = static_cast<int>(code);
    box.caption = kMessageCaption;
    box.text = std::string(text);
    return p.host.message_box(box);
}

}  // namespace

int messages(Program& p, Msg code) {
    return show_message(p, code, message_text(static_cast<int>(code)));
}

int message50(Program& p, std::string_view text) {
    return show_message(p, Msg::Text, text.substr(0, kMessage50MaxChars));
}

int message50f(Program& p, const char* format, ...) {
    char text[kMessage50MaxChars + 2];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return message50(p, text);
}

}  // namespace kvr
