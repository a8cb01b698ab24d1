#include "shell/render.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/audio.h"
#include "shell/globals.h"
#include "shell/wav_save.h"
#include "synth/generator.h"
#include "synth/notes.h"

namespace {

constexpr const char* DEFAULT_PATCH = "KSY/ZZZ.ksy";
// An hour of sound is 635 MB of frames: anything longer is surely a typing slip.
constexpr double MAX_SECONDS = 3600.0;

void usage() {
    std::fprintf(stderr, "usage: z_ozodive --render OUT.wav --seconds S [PATCH]\n"
                         "  renders PATCH (default %s) for S seconds into OUT.wav\n",
                 DEFAULT_PATCH);
}

void show_progress(long done, long total) {
    const int width = 40;
    const int filled = total > 0 ? static_cast<int>(width * done / total) : width;
    std::fprintf(stderr, "\r[%.*s%*s] %3ld%%", filled, "########################################",
                 width - filled, "", total > 0 ? 100 * done / total : 100);
    if (done == total) std::fputc('\n', stderr);
}

}  // namespace

int render_patch_to_wav(const char* out_path, double seconds, const char* patch_path, bool progress) {
    const long total = static_cast<long>(std::floor(seconds * 44100.0));
    const std::string partial = std::string(out_path) + ".partial";
    std::FILE* probe = std::fopen(partial.c_str(), "wb");
    if (probe == nullptr) {
        std::fprintf(stderr, "Cannot create [%s]: %s\n", out_path, std::strerror(errno));
        return 1;
    }
    std::fclose(probe);
    std::remove(partial.c_str());

    const char* chosen = patch_path != nullptr ? patch_path : DEFAULT_PATCH;
    std::FILE* patch_file = std::fopen(chosen, "r");
    if (patch_file == nullptr) {
        std::fprintf(stderr, "Cannot open the patch [%s]: %s\n", chosen, std::strerror(errno));
        return 1;
    }
    std::fclose(patch_file);

    std::printf("Generating Note Tabs\n");
    fill_NOTE2FREQ();
    if (patch_path != nullptr) std::printf("Loading [%s]\n", patch_path);
    std::string path = chosen;
    gen = new GENERATOR(&path[0]);
    main_gen.store(gen, std::memory_order_release);
    CALLBACK_READY.store(1, std::memory_order_release);

    // The frames go to the file buffer by buffer, as they are rendered: the
    // whole sound is never held (an hour of it would be 635 MB to zero first).
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    bool ok = f != nullptr && write_wav_header(f, 2, 16, static_cast<std::uint32_t>(Frequency),
                                               static_cast<std::uint32_t>(total) * 4u);
    if (ok) {
        const long frames_per_buffer = BufferSize / 4;
        std::vector<unsigned char> buffer(static_cast<size_t>(frames_per_buffer) * 4);
        long done = 0;
        while (ok && done < total) {
            const long frames = total - done < frames_per_buffer ? total - done : frames_per_buffer;
            instrument_callback(nullptr, buffer.data(), static_cast<int>(frames * 4), nullptr);
            ok = std::fwrite(buffer.data(), 1, static_cast<size_t>(frames) * 4, f) == static_cast<size_t>(frames) * 4;
            done += frames;
            if (progress && (done % (frames_per_buffer * 16) == 0 || done == total)) show_progress(done, total);
        }
    }
    int error = ok ? 0 : errno;
    CALLBACK_READY.store(0, std::memory_order_release);
    main_gen = nullptr;
    delete gen;
    gen = nullptr;

    if (f != nullptr && std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(partial.c_str(), out_path) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        std::fprintf(stderr, "Cannot write [%s]: %s\n", out_path, std::strerror(error));
        std::remove(partial.c_str());
        return 1;
    }
    std::printf("Rendered %ld frames (%.3f s) into [%s]\n", total, total / 44100.0, out_path);
    return 0;
}

int render_command(int argc, char** argv) {
    const char* out = nullptr;
    const char* patch = nullptr;
    double seconds = -1;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--render") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            char* end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(seconds >= 0) || seconds > MAX_SECONDS) {
                std::fprintf(stderr, "--seconds wants a number of seconds from 0 to %g, not [%s]\n",
                             MAX_SECONDS, argv[i]);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--render") == 0 || std::strcmp(argv[i], "--seconds") == 0) {
            std::fprintf(stderr, "%s needs a value\n", argv[i]);
            usage();
            return 2;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "Unknown option [%s]\n", argv[i]);
            usage();
            return 1;
        } else if (patch == nullptr) {
            patch = argv[i];
        } else {
            std::fprintf(stderr, "Only one patch can be rendered, not also [%s]\n", argv[i]);
            usage();
            return 2;
        }
    }
    if (out == nullptr || seconds < 0) {
        usage();
        return 2;
    }
    return render_patch_to_wav(out, seconds, patch, isatty(STDERR_FILENO) != 0);
}
