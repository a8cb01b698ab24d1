// Moving a playing stream to another output and driver while the program
// runs: the stream stops, the device closes, the new one opens and an equal
// stream starts on it; when the new one fails, the previous device is opened
// again (and NoSound when even that fails), so that sound never just stops.
#pragma once

#include <string>

#include "shell/sound_device.h"

/// An output kind and one of its drivers.
struct SOUND_PLACE {
    int output = -1;   ///< FSOUND_OUTPUT_*
    int driver = 0;    ///< from 0, as FSOUND_SetDriver counts
    std::string name;  ///< the driver's name as listed; "" lets the number alone decide
};

/// What a switch did.
struct SOUND_SWITCH {
    bool switched = false;  ///< the stream plays on the place asked for
    std::string why;        ///< why it does not, in the device's words when it gave some
    SOUND_PLACE playing;    ///< where the stream plays now; output -1 when nowhere (no stream)
};

/// The place the layer has selected now (the driver's name filled in).
SOUND_PLACE sound_current_place();

/// Plays *stream on place instead: stops it, closes the layer (which looks at
/// the drivers again, so a sound server started since is found), opens place
/// and starts a stream made as the old one was (callback, buffer length,
/// mode, rate), which *stream then points to. A driver is found by its name
/// first, its number second. On failure the previous place is opened again,
/// else NoSound. The stream's callback is not called between the stop and
/// the new start. Control thread only, never from a stream callback.
SOUND_SWITCH sound_switch(FSOUND_STREAM** stream, const SOUND_PLACE& place);
