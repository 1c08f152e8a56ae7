#pragma once
// Telescope drive commands: LX200 command strings through the camera serial port `Port`, or the
// guide-interface box's relays through the camera's relay command. Every wait is a busy wait on
// the program's clock (no events pumped), so a guide pulse blocks for its whole length.
//
// A command that cannot be sent (the camera link failed, already reported) ends the operation,
// except that a move once started is always followed by its stop.
#include <cstdint>

namespace kvr {

struct Program;

// LX200 command texts (five characters each).
inline constexpr char kLxGuideRate[] = "#:RG#";
inline constexpr char kLxSlewToObject[] = "#:MS#";
inline constexpr char kLxObjectInfo[] = "#:LI#";
inline constexpr char kLxFocusStop[] = "#:FQ#";
inline constexpr char kLxGetRa[] = "#:GR#";
inline constexpr int kLxCommandChars = 5;
// Bytes of the mount's answer to "#:LI#" and of a refused go-to's text.
inline constexpr int kLxAnswerBytes = 33;

// Box relay bits.
inline constexpr unsigned char kBoxWest = 1, kBoxSouth = 2, kBoxNorth = 4, kBoxEast = 8;

// Text put in `scope_error` when the mount did not answer a go-to at all.
inline constexpr char kNoAnswerFromMount[] = "No answer from the telescope";
// ... and when it refused the co-ordinates of a go-to.
inline constexpr char kCoordinatesRefused[] = "Co-ordinates refused by the telescope";

// The waits of the accessories: they block without pumping events (through the timed wait), so
// a pulse is as long as asked whatever the user does meanwhile.
void block_until(Program& p, uint32_t until_ms);
void block_for(Program& p, uint32_t duration_ms);

// `Port` from `slewcom` ('1' → 0, else 1), stored and returned.
int mount_port(Program& p);
// The direction map: the letter sent for a requested 'n', 's', 'e' or 'w' (`n`, `s`, `e`, `w`);
// any other letter is returned unchanged.
char mapped_direction(const Program& p, char requested);
// The box's relay bit for a direction letter, 0 for any other letter.
unsigned char box_bit(char direction);

// One timed guide pulse in `slewdir` for `slew_time` ms: "#:RG#", 20 ms after the start the
// move "#:M?#", `slew_time` after that the stop "#:Q?#", then 4 ms. With `telescope` 'b' the
// pulse goes through the box: 10 ms after the start the direction's bit, `slew_time` later all
// relays off, then 300 ms. A letter other than n, s, e, w sends nothing.
void drive_slew(Program& p);
// drive_slew in its parts, for a caller that holds the move itself (and may cut it short):
// pulse_begin sends what precedes the move and waits until it may go (false: nothing more is
// to be sent), pulse_move starts it (false when it could not), pulse_stop ends it, and
// pulse_tail waits the pause that follows every pulse.
bool pulse_begin(Program& p, char direction);
bool pulse_move(Program& p, char direction);
void pulse_stop(Program& p, char direction);
void pulse_tail(Program& p);
// Two timed pulses that run at once, one on each axis: as drive_slew for the LX200 drive, but
// both moves start together ("#:RG#", 20 ms, "#:M?#" for each) and each is stopped when its own
// length has passed, then 4 ms. The mount moves both axes at the guide rate at the same time,
// so a cycle lasts as long as its longer pulse. Through the box the pulses go one after the
// other as drive_slew sends them (the box needs its pause after each). A length of 0 or less,
// or a letter other than n, s, e, w, leaves that pulse out. `slewdir` and `slew_time` are left
// as the second pulse sets them.
void drive_slew_pair(Program& p, char first, int first_ms, char second, int second_ms);
// Sends `Korv5100command` to the box (camera command 0x40, 9, mask).
bool box_write(Program& p);
// The first `chars` characters of `text` to camera serial port `port`, finding the camera
// first when it has not been found yet. False (already reported) when nothing was sent.
bool camera_serial_write(Program& p, int port, const char* text, int chars);

// Go-to catalogue object `number` (0 … 9999): "#:LM nnnn#" for type 'm', "#:LS nnnn#" for 's'
// (stars and planets), else "#:LC nnnn#"; then get_info, a beep, "#:MS#", 500 ms and the verdict
// into `scope_error`. A number outside 0 … 9999 is refused with a message and sends nothing.
void move_telescope(Program& p, char type, int number);
// "#:LI#", 200 ms, the answer (up to its '#') into `move_error`; a mount that stays silent leaves
// it empty. Answers are waited for: one that is late is taken when it comes, up to a deadline.
void get_info(Program& p);
// Go-to R.A. `ra_hours`:`ra_minutes`, Dec. `dec_degrees`° `dec_minutes`′, south when the
// degrees are negative or `south` is set (−0° 30′). "#:GR#" first tells the mount's precision:
// "#:Sr HH:MM:00" and "#:Sd sDD*MM:00" in high precision, else "#:Sr HH:MM.0" and
// "#:Sd sDD*MM" (each closed by the next command's '#'); 50 ms later the answer to the R.A.;
// "#:LI#"; 200 ms later the answer to the Dec. and the object information into `move_error` (a
// '0' answer refuses the co-ordinates: `scope_error` says so and nothing more is sent); a beep,
// "#:MS#", 1 ms and the verdict into `scope_error` when it comes.
void move_to_coord(Program& p, int ra_hours, int ra_minutes, int dec_degrees, int dec_minutes,
                   bool south = false);

// `move_direction` for a manual move towards 'n', 's', 'e' or 'w', its letter sent through the map.
void set_move_direction(Program& p, char direction);
// Manual move: `tele_speed` then `move_direction`; the mount moves until stop_move, which clears
// `tele_moving` and stops all four directions.
void start_move(Program& p);
void stop_move(Program& p);
// Focuser: `focus_speed` then `focus_direction`; stop_focus clears `tele_moving` and sends
// "#:FQ#".
void start_focus(Program& p);
void stop_focus(Program& p);
// Manual move through the box: 1 ms, then the relay of `slewdir` closed until box_stop_move
// opens them all.
void box_start_move(Program& p);
void box_stop_move(Program& p);

// A library-style result code: passed through when ≥ 0; a negative one shows "ERROR %d "
// (message 50) and gives −1.
int error_check(Program& p, int code);

}  // namespace kvr
