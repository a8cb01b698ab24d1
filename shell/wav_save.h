// Writing a sample to "record.wav" in the working directory.
#pragma once

#include "shell/fsound.h"

/// Name of the file SaveToWav writes.
constexpr const char* RECORD_FILE = "record.wav";

/// Writes sample as a canonical 44-byte-header WAV file to "record.wav",
/// replacing it. Nothing for a null sample; a message and no file content
/// when it cannot be created.
void SaveToWav(FSOUND_SAMPLE* sample);
