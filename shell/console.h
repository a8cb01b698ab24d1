// Raw keyboard on standard input: keys are read as they are typed, without
// waiting for a line, whether standard input is a terminal or a pipe.
#pragma once

/// getch's result when waiting on standard input fails.
constexpr int GETCH_FAILED = static_cast<int>(0xDEADBEEFu);
/// getch's result once standard input has ended (a pipe that closed).
constexpr int GETCH_END = -1;
/// Escape: quits the menus and the running program.
constexpr int KEY_ESCAPE = 27;

/// Set (by a signal handler) when the program is asked to end; a getch that
/// is waiting then returns KEY_ESCAPE.
extern volatile int console_quit_requested;

/// Switches standard input out of line mode (echo stays) and registers
/// tcatexit to restore it at exit. Does nothing to a standard input that is
/// not a terminal.
void init_terminal();
/// Restores the terminal settings init_terminal found.
void tcatexit();
/// The next byte typed on standard input, waiting for it as long as it takes.
/// Bytes already read are handed out before the descriptor is waited on again.
/// GETCH_END once the input has ended; GETCH_FAILED, after a message, when the
/// wait fails; KEY_ESCAPE once the program was asked to end (before or while waiting).
int getch();
/// The next byte already typed, without waiting: a byte, or GETCH_END when none
/// is there now (or the input has ended).
int console_poll_key();
/// True once standard input has ended (keys already read may still wait).
bool console_input_ended();
/// Most keys one frame of the main loop reads: an input that never runs dry
/// must leave the loop time for the window, the remote control and signals.
constexpr int CONSOLE_KEYS_PER_FRAME = 64;
