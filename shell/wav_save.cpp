#include "shell/wav_save.h"

#include <cstdint>
#include <cstdio>

namespace {

void put16(unsigned char* at, unsigned v) {
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* at, std::uint32_t v) {
    for (int i = 0; i < 4; i++) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
void put_tag(unsigned char* at, const char* tag) {
    for (int i = 0; i < 4; i++) at[i] = static_cast<unsigned char>(tag[i]);
}

// The canonical header, little-endian whatever the host.
void fill_header(unsigned char (&h)[44], int channels, int bits, std::uint32_t rate, std::uint32_t data_size) {
    put_tag(h, "RIFF");
    put32(h + 4, data_size + 36);
    put_tag(h + 8, "WAVE");
    put_tag(h + 12, "fmt ");
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, static_cast<unsigned>(channels));
    put32(h + 24, rate);
    put32(h + 28, rate * static_cast<std::uint32_t>(channels * bits / 8));
    put16(h + 32, static_cast<unsigned>(channels * bits / 8));
    put16(h + 34, static_cast<unsigned>(bits));
    put_tag(h + 36, "data");
    put32(h + 40, data_size);
}

}  // namespace

bool write_wav_header(std::FILE* f, int channels, int bits, std::uint32_t rate, std::uint32_t data_size) {
    unsigned char header[44];
    fill_header(header, channels, bits, rate, data_size);
    // The three header blocks: RIFF, format chunk, data chunk header.
    return std::fwrite(header, 1, 12, f) == 12 && std::fwrite(header + 12, 1, 24, f) == 24 &&
           std::fwrite(header + 36, 1, 8, f) == 8;
}

bool save_wav_file(FSOUND_SAMPLE* sample, const char* path) {
    if (sample == nullptr) {
        std::printf("No sample to save into [%s]\n", path);
        return false;
    }
    const unsigned mode = FSOUND_Sample_GetMode(sample);
    const int bits = (mode & FSOUND_16BITS) ? 16 : 8;
    const int channels = (mode & FSOUND_STEREO) ? 2 : 1;
    const std::uint32_t data_size = FSOUND_Sample_GetLength(sample) * static_cast<std::uint32_t>(channels * bits / 8);
    int rate = 0;
    FSOUND_Sample_GetDefaults(sample, &rate, nullptr, nullptr, nullptr);

    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) {
        std::printf("Cannot create [%s]: sample not saved\n", path);
        return false;
    }
    bool ok = write_wav_header(f, channels, bits, static_cast<std::uint32_t>(rate), data_size);
    void* part1 = nullptr;
    void* part2 = nullptr;
    unsigned len1 = 0, len2 = 0;
    if (ok && FSOUND_Sample_Lock(sample, 0, static_cast<int>(data_size), &part1, &part2, &len1, &len2)) {
        // An empty sample has no data block at all: nothing to hand to fwrite.
        ok = len1 == data_size && (len1 == 0 || std::fwrite(part1, 1, len1, f) == len1);
        FSOUND_Sample_Unlock(sample, part1, part2, len1, len2);
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::printf("Cannot write [%s]: the file is incomplete\n", path);
    return ok;
}

void SaveToWav(FSOUND_SAMPLE* sample) {
    if (sample != nullptr) save_wav_file(sample, RECORD_FILE);
}
