// Reply faults: what leaves the printer for one reply.
#include <gtest/gtest.h>

#include <sstream>

#include "Faults.h"

using namespace vp;

TEST(Faults, ShapeOfAReply) {
    Bytes block(256, 0x78);
    struct Case {
        const char* command;
        std::vector<std::size_t> sizes;
        std::vector<int> delays;
    };
    const Case cases[] = {
        {"clear", {256}, {0}},
        {"no-reply", {}, {}},
        {"short-reply 10", {10}, {0}},
        {"split-reply 200", {200, 56}, {0, 150}}, // the 200 + 56 case, pause above 50 ms
        {"delay 40", {256}, {40}},
        {"split-reply 0", {256}, {150}},
        {"split-reply 300", {256}, {0}},
    };
    for (const auto& c : cases) {
        Faults f;
        std::vector<std::string> words;
        std::string w;
        for (std::istringstream in(c.command); in >> w;) {
            words.push_back(w);
        }
        ASSERT_EQ(f.command(words), "") << c.command;
        auto chunks = shapeReply(f, "block-read", block);
        ASSERT_EQ(chunks.size(), c.sizes.size()) << c.command;
        Bytes joined;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            EXPECT_EQ(chunks[i].data.size(), c.sizes[i]) << c.command;
            EXPECT_EQ(chunks[i].delayMs, c.delays[i]) << c.command;
            joined.insert(joined.end(), chunks[i].data.begin(), chunks[i].data.end());
        }
        if (!chunks.empty() && std::string(c.command).rfind("short", 0) != 0) {
            EXPECT_EQ(joined, block) << c.command;
        }
    }
}

TEST(Faults, OnlyAndTimesLimitWhichRepliesAreHit) {
    Faults f;
    ASSERT_EQ(f.command({"no-reply"}), "");
    ASSERT_EQ(f.command({"only", "getval,block-read"}), "");
    ASSERT_EQ(f.command({"times", "1"}), "");
    EXPECT_EQ(shapeReply(f, "emulation-query", {1}).size(), 1u);
    EXPECT_TRUE(shapeReply(f, "getval", {1}).empty());
    EXPECT_EQ(shapeReply(f, "getval", {1}).size(), 1u) << "used up";
}

TEST(Faults, CommandErrors) {
    Faults f;
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"short-reply"},
                                               {"short-reply", "-1"},
                                               {"delay", "x"},
                                               {"ack-status", "1", "0"},
                                               {"fw-status", "300"},
                                               {"frobnicate"},
                                               {}}) {
        EXPECT_NE(f.command(bad), "");
    }
    EXPECT_EQ(f.command({"ack-status", "3", "2"}), "");
    EXPECT_EQ(f.ackStatusAt, 3);
    EXPECT_EQ(f.ackStatusValue, 2);
    EXPECT_EQ(f.command({"ack-status", "off"}), "");
    EXPECT_EQ(f.ackStatusAt, -1);
}

TEST(Faults, DropReplyFollowsOnlyAndTimesAndLeavesOtherRepliesAlone) {
    Faults f;
    ASSERT_EQ(f.command({"drop-reply"}), "");
    ASSERT_EQ(f.command({"only", "getval"}), "");
    ASSERT_EQ(f.command({"times", "1"}), "");
    EXPECT_FALSE(dropsReply(f, "block-read"));
    EXPECT_TRUE(dropsReply(f, "getval"));
    EXPECT_FALSE(dropsReply(f, "getval")) << "used up";
    ASSERT_EQ(f.command({"drop-reply", "off"}), "");
    ASSERT_EQ(f.command({"times", "-1"}), "");
    EXPECT_FALSE(dropsReply(f, "getval"));
    EXPECT_EQ(f.command({"drop-reply", "maybe"}), "expected on or off");
    ASSERT_EQ(f.command({"ignore-writes"}), "");
    EXPECT_TRUE(f.ignoreWrites);
    EXPECT_NE(f.describe().find("ignore-writes=on"), std::string::npos) << f.describe();
    ASSERT_EQ(f.command({"clear"}), "");
    EXPECT_FALSE(f.ignoreWrites);
}
