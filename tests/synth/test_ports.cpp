// Ports: inputs read their output at the time of reading, sync pulses last one
// step, gates keep their age counting.
#include <gtest/gtest.h>

#include <cstring>

#include "synth/names.h"
#include "synth/ports.h"

TEST(Ports, InputReadsTheOutputAtTheTimeOfReading) {
    OUTPUT out;
    INPUT in(&out);
    out.value = 0.25f;
    EXPECT_EQ(*in.source, 0.25f);
    out.value = -0.5f;
    EXPECT_EQ(*in.source, -0.5f);
    EXPECT_EQ(INPUT().source, nullptr);
}

TEST(Ports, SyncRequestBecomesExactlyOnePulse) {
    OUTPUT_SYNC sync(7);
    EXPECT_EQ(sync.request, 0);
    EXPECT_EQ(sync.pulse, 0);
    sync.request = 1;
    sync.request = 1;  // two requests before the step: still one pulse
    sync.evolue();
    EXPECT_EQ(sync.pulse, 1);
    sync.evolue();
    EXPECT_EQ(sync.pulse, 0);
    sync.evolue();
    EXPECT_EQ(sync.pulse, 0);
}

TEST(Ports, GateAgeKeepsCountingAfterUntrigAndRestartsOnTrig) {
    OUTPUT_GATE g(0);
    INPUT_SYNC unlinked;
    EXPECT_EQ(unlinked.sync_source, nullptr);
    g.TRIG();
    g.evolue();
    g.evolue();
    EXPECT_EQ(g.gate, 1);
    EXPECT_EQ(g.age, 2.0f);
    g.UNTRIG();
    g.evolue();
    EXPECT_EQ(g.gate, 0);
    EXPECT_EQ(g.age, 3.0f);
    g.TRIG();
    EXPECT_EQ(g.age, 0.0f);
}

TEST(Ports, NamedInputsAreKeptNewestFirst) {
    INPUTS list;
    float a = 1, b = 2;
    list.add_input("FIRST", &a);
    list.add_input("SECOND", &b);
    ASSERT_EQ(list.names.size(), 2u);
    EXPECT_STREQ(list.names[0], "SECOND");
    EXPECT_STREQ(list.names[1], "FIRST");
    EXPECT_EQ(list.sources[0], &b);
    EXPECT_EQ(list.sources[1], &a);
}

TEST(Names, CopyIsCutToTheArrayAndAlwaysTerminated) {
    char small[8];
    EXPECT_EQ(copy_name(small, "VCO_LEAD_LONG_NAME"), 0);
    EXPECT_STREQ(small, "VCO_LEA");
    EXPECT_EQ(copy_name(small, "VCO_1"), 1);
    EXPECT_STREQ(small, "VCO_1");
    EXPECT_EQ(copy_name(small, nullptr), 1);
    EXPECT_STREQ(small, "");
}
