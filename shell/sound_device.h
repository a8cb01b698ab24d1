// The sound library's device and stream calls, over a real audio back end.
//
// Output types and their drivers:
//   FSOUND_OUTPUT_OSS   the OSS host API of the back end, its output devices;
//   FSOUND_OUTPUT_ESD   the desktop sound server (PulseAudio or PipeWire);
//   FSOUND_OUTPUT_ALSA  the ALSA host API, its output devices by their real names;
//   FSOUND_OUTPUT_NOSOUND  one driver of our own that calls the stream callback
//                       on its own thread at the real-time pace, into nothing;
//   FSOUND_OUTPUT_JACK  ours too (no menu entry; --output jack): one driver, the
//                       running JACK server, played from its process callback.
// The back end's own diagnostics never reach the console (see sound_log.h).
#pragma once

#include <string>
#include <vector>

/// An output stream (opaque).
struct FSOUND_STREAM;

/// The fill callback: buff holds len bytes of 16-bit signed interleaved stereo,
/// zeroed before every call. Returning non-zero keeps the stream playing.
using FSOUND_STREAMCALLBACK = int (*)(FSOUND_STREAM* stream, void* buff, int len, void* userdata);

/// Output kinds, by their library numbers.
enum FSOUND_OUTPUTTYPES {
    FSOUND_OUTPUT_NOSOUND = 0,
    FSOUND_OUTPUT_WINMM = 1,
    FSOUND_OUTPUT_DSOUND = 2,
    FSOUND_OUTPUT_A3D = 3,
    FSOUND_OUTPUT_OSS = 4,
    FSOUND_OUTPUT_ESD = 5,
    FSOUND_OUTPUT_ALSA = 6,
    FSOUND_OUTPUT_ASIO = 7,
    FSOUND_OUTPUT_JACK = 16,  ///< ours, beyond the library's own numbers: a client of the running JACK server
};

/// Error codes of FSOUND_GetError.
enum FMOD_ERRORS {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_BUSY,              ///< call not allowed after FSOUND_Init
    FMOD_ERR_UNINITIALIZED,     ///< FSOUND_Init was not called
    FMOD_ERR_INIT,              ///< the output device could not be opened
    FMOD_ERR_ALLOCATED,         ///< the device is in use
    FMOD_ERR_PLAY,              ///< playing failed
    FMOD_ERR_OUTPUT_FORMAT,     ///< 16-bit stereo not supported
    FMOD_ERR_COOPERATIVELEVEL,
    FMOD_ERR_CREATEBUFFER,
    FMOD_ERR_FILE_NOTFOUND,
    FMOD_ERR_FILE_FORMAT,
    FMOD_ERR_FILE_BAD,
    FMOD_ERR_MEMORY,
    FMOD_ERR_VERSION,
    FMOD_ERR_INVALID_PARAM,     ///< bad argument (driver index, stream mode, ...)
    FMOD_ERR_NO_EAX,
    FMOD_ERR_CHANNEL_ALLOC,
    FMOD_ERR_RECORD,
    FMOD_ERR_MEDIAPLAYER,
};

/// Version of this layer, 3.74 or later.
float FSOUND_GetVersion();
/// Selects the output kind (FSOUND_OUTPUT_*). 1, or 0 after FSOUND_Init
/// (FMOD_ERR_BUSY) or for a kind this machine cannot offer (FMOD_ERR_INVALID_PARAM).
int FSOUND_SetOutput(int outputtype);
/// The selected output kind; -1 before any FSOUND_SetOutput.
int FSOUND_GetOutput();
/// Number of drivers (output devices) of the selected kind; 0 when none.
int FSOUND_GetNumDrivers();
/// Printable name of driver id (0-based), valid until FSOUND_Close; null when out of range.
const char* FSOUND_GetDriverName(int id);
/// Selects a driver of the selected kind. 1, or 0 out of range or after FSOUND_Init.
int FSOUND_SetDriver(int driver);
/// The selected driver (0 by default).
int FSOUND_GetDriver();
/// Opens the selected driver at mixrate Hz. 1 when the device runs, else 0
/// with FSOUND_GetError set.
int FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned flags);
/// Stops every stream and releases the device and the back end. Safe to call twice.
void FSOUND_Close();
/// Code of the last failure (FMOD_ERRORS).
int FSOUND_GetError();
/// The device's own words for the last failure of FSOUND_Init or
/// FSOUND_Stream_Play ("no JACK server answers ...", PortAudio's error text);
/// "" when it gave none. Valid until the next call of the layer.
const char* sound_error_detail();
/// The drivers of output kind as its driver menu lists them, whichever kind
/// is selected and even while a device plays; empty for a kind without any.
std::vector<std::string> sound_driver_names(int kind);

/// Creates a stream filled by callback with buffers of lenbytes bytes (16-bit
/// signed stereo; mode 0x1000150) at samplerate Hz. Null (and an error code)
/// before FSOUND_Init, or for a bad length, mode or rate.
FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int lenbytes, unsigned mode,
                                    int samplerate, void* userdata);
/// Starts the stream. The channel it plays on, or -1 on failure.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
/// Stops the stream; returns once its callback will not be called again. 1, or 0 for null.
/// Called from the control thread, never from a stream callback (it waits for that callback).
int FSOUND_Stream_Stop(FSOUND_STREAM* stream);
/// Stops and frees the stream. 1, or 0 for null.
int FSOUND_Stream_Close(FSOUND_STREAM* stream);

/// Sees every buffer after the stream callback filled it (same thread, same bytes).
/// Must not allocate, block or print.
using sound_monitor = void (*)(const void* buff, int len, void* userdata);
/// Installs (or, with null, removes) the monitor of every stream. Set it before playing.
void sound_set_monitor(sound_monitor monitor, void* userdata);

/// Runs on the audio thread before each buffer a device asks for, before the
/// stream callback fills it (MIDI notes are played there). Must not
/// allocate, block or print.
using sound_prebuffer = void (*)(void* userdata);
/// Installs (or, with null, removes) the hook of every stream; may change while playing.
void sound_set_prebuffer(sound_prebuffer hook, void* userdata);
