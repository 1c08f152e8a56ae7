#pragma once

namespace kvr {

inline constexpr const char* kAppName = "KVR_Q4_USB";
inline constexpr const char* kMessageCaption = "KVR_Q4";
inline constexpr const char* kProgramVersion = "1.0.0";
inline constexpr const char* kProgramDescription =
    "KVR_Q4 camera control and image processing for the cooled CCD camera, its autoguider, "
    "telescope mount, AO unit and filter wheel.";

}  // namespace kvr
