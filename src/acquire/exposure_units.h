#pragma once
// Exposure values and their one-letter ranges: 'q' thousandths, 'h' hundredths, 't' tenths,
// 's' seconds, 'm' minutes of a second.
namespace kvr {

// Milliseconds of a main-camera exposure: 'h' 10, 'm' 60000, 't' 100, 'q' 1, anything else
// 1000. Values too large for an int give the largest int.
int exposure_ms(int value, char range);
// Milliseconds of a self-guide window exposure: as above, except that minutes count as seconds.
int selfguide_exposure_ms(int value, char range);
// Progress steps of one exposure: 20 for minutes and for 13 seconds or more, 6 for 5 to 12
// seconds, else 2.
int progress_steps(int value, char range);
// The range's upper limit of exp_value in the camera dialog ('q' 1000, 'h' 500, 't' 100,
// 's' 300, 'm' 90), and the value a range button starts from ('q' and 'h' 5, else 1).
int range_limit(char range);
int range_start_value(char range);
// The range's name as the self-guide fields show it: "thousandths" … "minutes".
const char* range_name(char range);

}  // namespace kvr
