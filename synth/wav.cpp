#include "synth/wav.h"

#include <cstring>

#include "synth/sample_import.h"

// The data chunk is copied byte for byte into 16-bit values.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "WAV data is read on little-endian hosts only");

namespace {

constexpr int WAVE_FORMAT_PCM = 1;
// The fields of a "fmt " chunk that matter; a longer chunk is skipped past them.
constexpr std::uint32_t FMT_BYTES = 16;

std::uint32_t le32(const unsigned char* b) {
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
unsigned le16(const unsigned char* b) { return b[0] | (b[1] << 8); }

bool read_bytes(std::FILE* f, unsigned char* to, std::size_t n) { return std::fread(to, 1, n, f) == n; }

// Skips a chunk body; bodies of odd size are followed by one pad byte.
bool skip(std::FILE* f, std::uint32_t size) {
    const long step = static_cast<long>(size) + static_cast<long>(size & 1u);
    return std::fseek(f, step, SEEK_CUR) == 0;
}

const char* read_fmt(std::FILE* f, std::uint32_t size, WAV_FORMAT* format) {
    if (size < FMT_BYTES) return "its format chunk is too short";
    unsigned char b[FMT_BYTES];
    if (!read_bytes(f, b, sizeof b)) return "it ends inside its format chunk";
    const unsigned tag = le16(b);
    format->channels = static_cast<int>(le16(b + 2));
    format->sample_rate = static_cast<int>(le32(b + 4) & 0x7fffffffu);
    format->bits = static_cast<int>(le16(b + 14));
    if (tag != WAVE_FORMAT_PCM || format->bits != 16) return "it is not 16-bit PCM sound";
    if (format->channels < 1 || format->channels > 2) return "it is neither mono nor stereo";
    if (!skip(f, size - FMT_BYTES)) return "it ends inside its format chunk";
    return nullptr;
}

// The header of f, checked against the room the caller has; prints why not.
bool read_checked_header(std::FILE* f, const char* name, int capacity_bytes, WAV_FORMAT* format) {
    if (const char* why = wav_read_header(f, format)) {
        std::printf("WAV file [%s] not loaded: %s\n", name, why);
        return false;
    }
    if (capacity_bytes < 0 || format->data_size > static_cast<std::uint32_t>(capacity_bytes)) {
        std::printf("WAV file [%s] not loaded: %u bytes of sound, more than the %d bytes of room\n", name,
                    format->data_size, capacity_bytes);
        return false;
    }
    return true;
}

// Bytes from the current position to the end of f (0 when it cannot tell).
long bytes_left(std::FILE* f) {
    const long here = std::ftell(f);
    if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return 0;
    const long end = std::ftell(f);
    if (std::fseek(f, here, SEEK_SET) != 0 || end < here) return 0;
    return end - here;
}

}  // namespace

std::size_t FSOUND_SAMPLE::data_bytes() const {
    const std::size_t wanted = static_cast<std::size_t>(length < 0 ? 0 : length) * channels() * bits() / 8;
    const std::size_t held = data.size() * sizeof(short);
    return wanted < held ? wanted : held;
}

std::unique_ptr<FSOUND_SAMPLE> wav_new_sample(int frames, unsigned mode, int frequency) {
    auto sample = std::make_unique<FSOUND_SAMPLE>();
    sample->length = frames < 0 ? 0 : frames;
    sample->mode = mode;
    sample->frequency = frequency;
    const std::size_t bytes = static_cast<std::size_t>(sample->length) * sample->channels() * sample->bits() / 8;
    sample->data.assign((bytes + 1) / 2, 0);
    return sample;
}

const char* wav_read_header(std::FILE* f, WAV_FORMAT* format) {
    unsigned char riff[12];
    if (!read_bytes(f, riff, sizeof riff)) return "it is shorter than a WAV header";
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return "it is not a RIFF WAVE file";
    bool have_format = false;
    // Every pass consumes at least a chunk header, so the walk ends with the file.
    for (;;) {
        unsigned char chunk[8];
        if (!read_bytes(f, chunk, sizeof chunk)) return have_format ? "it has no data chunk" : "it has no format chunk";
        const std::uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (const char* why = read_fmt(f, size, format)) return why;
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_format) return "its data chunk comes before its format chunk";
            format->data_size = size;
            return nullptr;
        } else if (!skip(f, size)) {
            return "it ends inside a chunk";
        }
    }
}

std::unique_ptr<FSOUND_SAMPLE> wav_read_sample(std::FILE* f, const char* name, int capacity_bytes) {
    WAV_FORMAT format;
    if (!read_checked_header(f, name, capacity_bytes, &format)) return nullptr;
    // A data chunk that claims more than the file holds is read as far as it goes.
    std::size_t bytes = format.data_size;
    const long left = bytes_left(f);
    if (static_cast<unsigned long>(left) < bytes) bytes = static_cast<std::size_t>(left);

    const int block = format.channels * 2;
    auto sample = std::make_unique<FSOUND_SAMPLE>();
    sample->mode = SAMPLE_MODE_16BITS | (format.channels == 2 ? SAMPLE_MODE_STEREO : 0u);
    sample->frequency = format.sample_rate;
    sample->data.assign((bytes + 1) / 2, 0);
    if (bytes > 0) bytes = std::fread(sample->data.data(), 1, bytes, f);
    sample->length = static_cast<int>(bytes / static_cast<std::size_t>(block));
    return sample;
}

bool wav_plays_as_read(std::FILE* f) {
    WAV_FORMAT format;
    const bool as_read = wav_read_header(f, &format) == nullptr && format.channels == 2 &&
                         format.sample_rate == SAMPLE_PLAY_RATE;
    std::rewind(f);
    return as_read;
}

std::unique_ptr<FSOUND_SAMPLE> wav_load_sample(const char* path, int capacity_bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        std::printf("Error load [%s]\n", path);
        return nullptr;
    }
    // 16-bit stereo 44100 Hz WAV files are read here, byte for byte; every other
    // sound is converted to that.
    const bool as_read = wav_plays_as_read(f);
    std::unique_ptr<FSOUND_SAMPLE> sample = as_read ? wav_read_sample(f, path, capacity_bytes) : nullptr;
    std::fclose(f);
    return as_read ? std::move(sample) : sample_import(path, capacity_bytes);
}

int wav_read_into(std::FILE* f, const char* name, short* buffer, int capacity_bytes) {
    WAV_FORMAT format;
    if (!read_checked_header(f, name, capacity_bytes, &format)) return -1;
    if (format.data_size > 0) std::fread(buffer, 1, format.data_size, f);
    return static_cast<int>(format.data_size);
}

int LoadToWav(short* buffer, const char* path, int capacity_bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        std::printf("Error load [%s]\n", path);
        return -1;
    }
    const int bytes = wav_read_into(f, path, buffer, capacity_bytes);
    std::fclose(f);
    return bytes;
}
