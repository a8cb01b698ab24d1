// The fixed texts of the sound layer's error codes, shared by the start-up
// dialogue and the stream set-up.
#pragma once

/// The text of a sound-layer error code; "Unknown error" for any other code.
const char* FMOD_ErrorString(int code);
