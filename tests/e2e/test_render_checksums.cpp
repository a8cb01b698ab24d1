// The sound must not change by accident: every patch here is rendered through
// the audio callback, and a digest of its 16-bit stream is compared with the
// one recorded when the engine was known good. A change to a module's
// arithmetic, to the step order or to the one-sample delay of a link to a
// later module shows up as a different digest.
//
// Set KEL_RENDER_DUMP to a folder to also write each stream there as raw
// 16-bit samples (NAME.raw), for comparing two builds sample by sample.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "shell/audio.h"
#include "shell/globals.h"
#include "synth/generator.h"
#include "synth/notes.h"
#include "synth/random.h"

namespace {

struct RenderCase {
    const char* name;       ///< test name, and the dump file's
    const char* patch;      ///< path from the data folder, or from render_patches/ when generated
    bool generated;         ///< true: one of this folder's patches
    double seconds;         ///< length rendered
    std::uint64_t digest;   ///< FNV-1a of the stream's bytes
};

std::string patch_path(const RenderCase& c) {
    if (!c.generated) return c.patch;
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/render_patches/" + c.patch;
}

// The stream the sound card would get, one 3072-frame buffer at a time.
std::vector<unsigned char> render(const RenderCase& c) {
    fill_NOTE2FREQ();
    std::string path = patch_path(c);
    auto* patch = new GENERATOR(&path[0]);
    // Noise draws from the shared generator, which a sequencer seeds from the clock.
    kel_srand(12345);
    main_gen.store(patch);
    CALLBACK_READY.store(1);
    const long frames = static_cast<long>(c.seconds * 44100.0);
    std::vector<unsigned char> out(static_cast<size_t>(frames) * 4);
    const long per_buffer = BufferSize / 4;
    for (long done = 0; done < frames; done += per_buffer) {
        const long n = frames - done < per_buffer ? frames - done : per_buffer;
        instrument_callback(nullptr, out.data() + done * 4, static_cast<int>(n * 4), nullptr);
    }
    CALLBACK_READY.store(0);
    main_gen.store(nullptr);
    delete patch;
    return out;
}

std::uint64_t fnv1a(const std::vector<unsigned char>& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

void dump(const RenderCase& c, const std::vector<unsigned char>& bytes) {
    const char* dir = std::getenv("KEL_RENDER_DUMP");
    if (dir == nullptr) return;
    const std::string file = std::string(dir) + "/" + c.name + ".raw";
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// Test names and failure messages show the patch, not the bytes of the case.
void PrintTo(const RenderCase& c, std::ostream* os) { *os << c.patch; }

class RenderChecksum : public ::testing::TestWithParam<RenderCase> {};

TEST_P(RenderChecksum, StreamIsUnchanged) {
    const RenderCase& c = GetParam();
    const std::vector<unsigned char> bytes = render(c);
    dump(c, bytes);
    bool sounds = false;
    for (size_t i = 0; i < bytes.size() && !sounds; i++) sounds = bytes[i] != 0;
    EXPECT_TRUE(sounds) << c.patch << " rendered silence";
    EXPECT_EQ(fnv1a(bytes), c.digest) << c.patch << ": digest 0x" << std::hex << fnv1a(bytes);
}

const RenderCase kCases[] = {
    {"ZZZ", "KSY/ZZZ.ksy", false, 12.0, 0xe04551ab05268761ull},
    {"brio3", "KSY/brio3.ksy", false, 12.0, 0x7b1fe7ac45d4cf45ull},
    {"brio3_drums", "KSY/brio3_drums.ksy", false, 4.0, 0xe7c542fe646b5b6dull},
    {"AFFICHAGE", "KSY/examples/AFFICHAGE.ksy", false, 2.0, 0xa3ec19ed43544479ull},
    {"BASIC_OPERATION", "KSY/examples/BASIC_OPERATION.ksy", false, 2.0, 0x5e5eb9aea19850e1ull},
    {"CONSTANTE", "KSY/examples/CONSTANTE.ksy", false, 2.0, 0xc4358cd9b33efd5ull},
    {"GENERATOR", "KSY/examples/GENERATOR.ksy", false, 3.0, 0x3ae8adce6ba5b995ull},
    {"KEY", "KSY/examples/KEY.ksy", false, 2.0, 0xccc1203d4e3cca49ull},
    {"MIXER", "KSY/examples/MIXER.ksy", false, 2.0, 0xe02f1d2d144c587dull},
    {"PCF", "KSY/examples/PCF.ksy", false, 4.0, 0x4f7eb8d3bb3168e1ull},
    {"SAMPLER", "KSY/examples/SAMPLER.ksy", false, 4.0, 0x728c597fd16aa961ull},
    {"SEQUENCER", "KSY/examples/SEQUENCER.ksy", false, 4.0, 0xa58194305829a9adull},
    {"SOUND_OUT", "KSY/examples/SOUND_OUT.ksy", false, 2.0, 0x1224a31b9a639419ull},
    {"VARIABLE", "KSY/examples/VARIABLE.ksy", false, 3.0, 0xac52af66b027eb05ull},
    {"VCA", "KSY/examples/VCA.ksy", false, 4.0, 0x7379bc1a359090c5ull},
    {"VCO", "KSY/examples/VCO.ksy", false, 3.0, 0xf7c2bde1fcc5f371ull},
    {"sources", "sources.ksy", true, 4.0, 0xafb6903db13b08e1ull},
    {"modulation", "modulation.ksy", true, 5.0, 0xab7e074ec98a721dull},
    {"feedback", "feedback.ksy", true, 5.0, 0x70cbb864b91496c5ull},
    {"subpatches", "subpatches.ksy", true, 4.0, 0xcbe60d74a750ef01ull},
    {"samplers", "samplers.ksy", true, 6.0, 0x303203f4564c08d9ull},
    {"sampler_ends", "sampler_ends.ksy", true, 16.0, 0x1e0966621e7ff6f5ull},
    {"bank", "bank.ksy", true, 3.0, 0x39c7efe92f31810dull},
};

INSTANTIATE_TEST_SUITE_P(Patches, RenderChecksum, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<RenderCase>& i) { return std::string(i.param.name); });

}  // namespace
