// The sound log: sound.log in the working folder, where the audio back end's
// and the MIDI libraries' own diagnostics go instead of the user's console
// (ALSA probing every card it knows of, the ALSA JACK plugin failing to reach
// a server, libpulse warnings, a missing sequencer).
#pragma once

#include <cstddef>

/// The log's descriptor, opened on first use (/dev/null when the log cannot
/// be created). Call it once from the control thread before any audio thread
/// may log.
int sound_log_fd();
/// Appends "sound: what: detail" as one line. Formats on the stack and writes
/// once: callable from an audio thread (never allocates).
void sound_log_line(const char* what, const char* detail);
/// ALSA's error hook (snd_lib_error_set_handler): the message, as one line.
void sound_log_alsa(const char* file, int line, const char* function, int err, const char* fmt, ...)
    __attribute__((format(printf, 5, 6)));
/// libjack's error and information hook: the message, as one line.
void sound_log_jack(const char* text);

/// While alive, whatever the process writes to its standard error (and, when
/// asked, its standard output) goes to the log: the libraries print there
/// themselves as they probe. The one place where the process's standard
/// streams are redirected.
class CONSOLE_TO_LOG {
public:
    enum STREAMS { ERROR_ONLY, OUTPUT_AND_ERROR };
    explicit CONSOLE_TO_LOG(STREAMS streams);
    ~CONSOLE_TO_LOG();
    CONSOLE_TO_LOG(const CONSOLE_TO_LOG&) = delete;
    CONSOLE_TO_LOG& operator=(const CONSOLE_TO_LOG&) = delete;

private:
    int saved_out_ = -1;  ///< the standard output's own descriptor while redirected, else -1
    int saved_err_ = -1;  ///< the standard error's own descriptor while redirected, else -1
};
