// Reading RIFF WAVE files: the sample handle and the reader the sampler and the
// sound-library layer share.
//
// Only 16-bit PCM is read here (other sounds go through synth/sample_import.h).
// The chunks are walked, so besides the canonical 44-byte header a file may
// carry "LIST" or other chunks before "data", or a longer "fmt " chunk. The bytes of the data chunk are copied as they are: the
// file is little-endian, and so is every host we build for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

/// Mode bit of a sample: 16-bit values (else 8-bit).
constexpr unsigned SAMPLE_MODE_16BITS = 0x10;
/// Mode bit of a sample: interleaved stereo frames (else mono).
constexpr unsigned SAMPLE_MODE_STEREO = 0x40;

/// A sound held in memory, as the sound library would hold it.
struct FSOUND_SAMPLE {
    std::vector<short> data;  ///< the data chunk's bytes as loaded (16-bit values, interleaved)
    int length = 0;           ///< frames (one value per channel each)
    unsigned mode = 0;        ///< SAMPLE_MODE_* bits
    int frequency = 44100;    ///< default playback rate, Hz

    /// Channels of a frame: 2 when stereo, else 1.
    int channels() const { return (mode & SAMPLE_MODE_STEREO) ? 2 : 1; }
    /// Bits of one value: 16 or 8.
    int bits() const { return (mode & SAMPLE_MODE_16BITS) ? 16 : 8; }
    /// Bytes of sound: length x channels x bits / 8 (never more than data holds).
    std::size_t data_bytes() const;
};

/// A silent sample of frames frames; the data has room for all its bytes.
std::unique_ptr<FSOUND_SAMPLE> wav_new_sample(int frames, unsigned mode, int frequency);

/// What the chunk walk found before the sound data.
struct WAV_FORMAT {
    int channels = 0;             ///< values per frame
    int sample_rate = 0;          ///< frames per second, Hz
    int bits = 0;                 ///< bits per value (always 16 once accepted)
    std::uint32_t data_size = 0;  ///< bytes the data chunk says it holds
};

/// Walks the chunks of the WAV file open in f up to the first byte of its data.
/// Returns null on success, else a text saying why the file is not read.
const char* wav_read_header(std::FILE* f, WAV_FORMAT* format);

/// Reads the WAV file open in f (name is for messages) into a new sample sized
/// to the data the file really holds. Null, after a message, when the file is
/// not 16-bit PCM or its data chunk claims more than capacity_bytes.
std::unique_ptr<FSOUND_SAMPLE> wav_read_sample(std::FILE* f, const char* name, int capacity_bytes);

/// True when the file open in f is a 16-bit stereo 44100 Hz PCM WAV file, which
/// wav_read_sample reads as it is. Leaves f at its start.
bool wav_plays_as_read(std::FILE* f);

/// A sample for the sampler from the file at path: a 16-bit stereo 44100 Hz WAV
/// file through wav_read_sample, any other sound file converted by
/// sample_import. "Error load [path]" when it cannot be opened.
std::unique_ptr<FSOUND_SAMPLE> wav_load_sample(const char* path, int capacity_bytes);

/// Reads the WAV file open in f into buffer (capacity_bytes of room). Returns the
/// data chunk's size in bytes, also when the file ends sooner (what is present
/// is read, the rest of the buffer is left alone); -1, after a message, when the
/// file is not 16-bit PCM or the data would not fit.
int wav_read_into(std::FILE* f, const char* name, short* buffer, int capacity_bytes);

/// Reads the samples of the WAV file at path into buffer, as wav_read_into.
/// -1 and "Error load [path]" when the file cannot be opened.
int LoadToWav(short* buffer, const char* path, int capacity_bytes);
