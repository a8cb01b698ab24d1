// The fixed texts of the sound layer's error codes, shared by the start-up
// dialogue and the stream set-up.
#pragma once

/// The text of a sound-layer error code; "Unknown error" for any other code.
const char* FMOD_ErrorString(int code);
/// Why the sound layer's last FSOUND_Init or FSOUND_Stream_Play failed: the
/// device's own words when it gave some, else the error code's text.
const char* sound_failure_text();
