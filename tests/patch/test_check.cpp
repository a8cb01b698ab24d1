// The patch checker over a set of broken patches: each fault is reported once,
// on its line, and only a fault that ends loading makes the patch one that
// would not load. The shipped patches are clean.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "patch/ksy_check.h"
#include "tests/temp_path.h"

namespace {

struct Broken {
    const char* objects;  ///< module lines (line 2 onwards of the file)
    const char* links;    ///< link lines
    const char* says;     ///< what the one warning holds
    int line;
    bool fatal;
};

// Objects start on line 2; with n module lines (and SOUND_OUT) the links start on line n + 5.
std::string write_patch(const Broken& b) {
    const std::string path = test_temp_path("broken.ksy");
    std::ofstream(path) << "BEGIN_OBJECTS_DECLARE\n"
                        << b.objects << "SOUND_OUT;;\nEND_OBJECTS_DECLARE\nBEGIN_LINKS_DECLARE\n"
                        << b.links << "END_LINKS_DECLARE\n";
    return path;
}

class CheckBroken : public ::testing::TestWithParam<Broken> {};

TEST_P(CheckBroken, ReportsTheFaultOnceOnItsLine) {
    const Broken& b = GetParam();
    const KsyCheck c = check_ksy(write_patch(b).c_str());
    ASSERT_EQ(c.warnings.size(), 1u) << b.says << ": " << (c.warnings.empty() ? "" : c.warnings[0].text);
    EXPECT_NE(c.warnings[0].text.find(b.says), std::string::npos) << c.warnings[0].text;
    EXPECT_EQ(c.warnings[0].line, b.line) << c.warnings[0].text;
    EXPECT_EQ(c.would_not_load, b.fatal) << c.warnings[0].text;
}

const char* const VCO = "VCO_A;TYPE=1;FREQ=440;\n";
const char* const OUT = "SOUND_OUT;IN=VCO_A;\n";

INSTANTIATE_TEST_SUITE_P(
    Check, CheckBroken,
    ::testing::Values(
        Broken{"VCO_A;TYPE=1;FRQ=440;\n", OUT, "unknown key [FRQ]", 2, false},
        Broken{"VCO_A;TYPE=1;freq=440;\n", OUT, "not in upper case", 2, false},
        Broken{"VCO_A;TYPE=1;FREQ=440\n", OUT, "its last field [FREQ=440] is ignored", 2, false},
        Broken{"VCO_A;;\n", OUT, "loading ends the program", 2, true},
        Broken{"VCO_A;FREQ;\n", OUT, "has no value", 2, false},
        Broken{"VCO_A;FREQ=loud;\n", OUT, "not a number", 2, false},
        Broken{"VCO_A;TYPE=12;\n", OUT, "beyond what its knob reaches", 2, false},
        Broken{"VCO_KEYS;;\n", "", "holds KEY and VCO", 2, false},
        Broken{"SAMPLER_S;FILE=Sounds/none.wav;\n", "", "cannot be read", 2, true},
        Broken{"SEQUENCER_S;PARTITION_FILE_NAME=PARTITIONS/none.PAR;\n", "", "pattern file", 2, false},
        Broken{"GENERATOR_G;FILE=KSY/none.ksy;\n", "", "stays silent", 2, false},
        Broken{VCO, "SOUND_OUT;IN=VCO_B;\n", "no module is named [VCO_B]", 6, false},
        Broken{VCO, "VCO_B;MOD_FREQ=VCO_A;\nSOUND_OUT;IN=VCO_A;\n", "no VCO is named [VCO_B]", 6, true},
        Broken{VCO, "VCO_A;MOD_FRQ=VCO_A;\nSOUND_OUT;IN=VCO_A;\n", "unknown input [MOD_FRQ]", 6, false},
        Broken{VCO, "SOUND_OUT;in=VCO_A;\n", "input [in] is not in upper case", 6, false},
        Broken{"VCO_A;TYPE=1;\nVCO_SINE;TYPE=1;\n", "VCO_A;MOD_FREQ=VCO_SINE;\nSOUND_OUT;IN=VCO_A;\n",
               "also links IN", 7, false},
        Broken{"VCO_A;TYPE=1;\nVCA_E;ATTACK=1;\n", "VCA_E;IN=VCO_A;GATE=VCO_A;\nSOUND_OUT;IN=VCA_E;\n",
               "GATE takes a keyboard or a sequencer", 7, false},
        Broken{"VCO_A;TYPE=1;\nPCF_F;BYPASS=0;\n", "PCF_F;IN=VCO_A;MOD_PHASE=VCO_A;\nSOUND_OUT;IN=PCF_F;\n",
               "does not read MOD_PHASE", 7, false},
        Broken{VCO, "SOUND_OUT;IN=VCO_A;;\n", "loading ends the program", 6, true}),
    [](const auto& i) { return std::to_string(i.index); });

TEST(Check, ShippedPatchesAreClean) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator("KSY")) {
        if (entry.path().extension() != ".ksy") continue;
        const KsyCheck c = check_ksy(entry.path().c_str());
        EXPECT_TRUE(c.warnings.empty()) << entry.path() << ": " << c.warnings[0].text;
    }
    const KsyCheck missing = check_ksy("KSY/no_such_patch.ksy");
    EXPECT_TRUE(missing.would_not_load);
}

}  // namespace
