#pragma once
// Where every guide path's corrections leave the program: a timed pulse of the mount (LX200
// commands or the guide-interface box, by `telescope`) or a move of the AO unit. Each correction
// is framed by two beeps and recorded in the guide state's pulse log.
namespace kvr {

struct Program;

// A pulse of `ms` milliseconds in the direction of the (already mapped) letter `direction`;
// `axis` is 'x' for RA, 'y' for Dec. Nothing is sent for a length of 0 or less.
void guide_pulse(Program& p, char axis, char direction, int ms);
// One guide cycle's RA ('x') and Dec ('y') pulses. Through LX200 commands they run at once, so
// the cycle takes as long as its longer pulse (plus the rate command's 20 ms and 4 ms after);
// through the box they go one after the other as guide_pulse sends them. Both are recorded.
void guide_pulses(Program& p, char ra_direction, int ra_ms, char dec_direction, int dec_ms);
// A move of the AO unit by `steps` in the (already mapped) direction letter.
void ao_move(Program& p, char axis, char direction, int steps);

}  // namespace kvr
