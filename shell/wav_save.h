// Writing a sample to a WAV file ("record.wav" in the working directory).
#pragma once

#include <cstdint>
#include <cstdio>

#include "shell/fsound.h"

/// Name of the file SaveToWav writes.
constexpr const char* RECORD_FILE = "record.wav";

/// Writes the canonical 44-byte header of a PCM WAV file whose data block,
/// data_size bytes long, follows it. False when a write falls short.
bool write_wav_header(std::FILE* f, int channels, int bits, std::uint32_t rate, std::uint32_t data_size);

/// Writes sample to path as a canonical 44-byte-header WAV file, replacing it.
/// False, after a message, when sample is null or the file cannot be written
/// whole (a file that cannot be created gets nothing written).
bool save_wav_file(FSOUND_SAMPLE* sample, const char* path);

/// Writes sample as a canonical 44-byte-header WAV file to "record.wav",
/// replacing it. Nothing for a null sample; a message and no file content
/// when it cannot be created.
void SaveToWav(FSOUND_SAMPLE* sample);
