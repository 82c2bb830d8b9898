// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Lumas developers
#include "protocol/frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "reply_frames.h"

namespace lumas::compoway {
namespace {

std::string bytes(std::initializer_list<unsigned char> values) {
    return std::string(values.begin(), values.end());
}

TEST(FrameCodec, BuildsCommandFramesByteForByte) {
    EXPECT_EQ(BuildFrame("01", "0601"),
              bytes({0x02, 0x30, 0x31, 0x30, 0x30, 0x30, 0x30, 0x36, 0x30, 0x31, 0x03, 0x35}));
    EXPECT_EQ(BuildFrame("01", "30050100"),
              bytes({0x02, 0x30, 0x31, 0x30, 0x30, 0x30, 0x33, 0x30, 0x30, 0x35, 0x30, 0x31, 0x30,
                     0x30, 0x03, 0x35}));
}

TEST(FrameCodec, BccCoversEverythingAfterTheFirstCharacter) {
    EXPECT_EQ(GetBCC(""), '\0');
    EXPECT_EQ(GetBCC("\x02"), '\0');
    EXPECT_EQ(GetBCC("\x02"
                     "A"),
              'A');
    EXPECT_EQ(GetBCC("xAB"), static_cast<char>('A' ^ 'B'));
}

TEST(FrameCodec, EndCodesGiveDriverCodes) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"00", 0},   {"0F", 315}, {"10", 310}, {"11", 311}, {"12", 312}, {"13", 313},
        {"14", 314}, {"16", 316}, {"18", 318}, {"1A", 399}, {"  ", 399},
    };
    for (const auto& [endCode, expected] : cases) {
        EXPECT_EQ(CheckEndCode(test::shortErrorReply(endCode)), expected) << endCode;
    }
    EXPECT_EQ(CheckEndCode("\x02"
                           "01"),
              399)
        << "a frame too short to hold an end code";
}

TEST(FrameCodec, NodeNumberKeepsTwoDigits) {
    const std::vector<std::tuple<int, int, std::string>> cases = {
        {1, 1, "01"},  {42, 42, "42"}, {123, 123, "23"}, {100, 100, "00"},
        {-5, 5, "05"}, {5, 5, "05"},   {0, 0, "00"},
    };
    for (const auto& [requested, value, text] : cases) {
        const NodeNumber node = MakeNodeNumber(requested);
        EXPECT_EQ(node.value, value) << requested;
        EXPECT_EQ(node.text, text) << requested;
    }
}

TEST(FrameCodec, SplitsRepliesIntoTheirFields) {
    const ReplyFields normal = SplitReply(test::okReply("0104", "8000FA800001"));
    EXPECT_EQ(normal.errorCode, 0);
    EXPECT_EQ(normal.command, "0104");
    EXPECT_EQ(normal.responseCode, 0);
    EXPECT_EQ(normal.commandText, "8000FA800001");

    const ReplyFields refused = SplitReply(test::replyFrame("00", "0102", "1001", ""));
    EXPECT_EQ(refused.responseCode, 1001);
    EXPECT_EQ(refused.commandText, "");

    // The short reply to a transmission error: the command field holds ETX and the BCC.
    const std::string shortReply = test::shortErrorReply("13");
    const ReplyFields transmission = SplitReply(shortReply);
    EXPECT_EQ(transmission.errorCode, 313);
    EXPECT_EQ(transmission.command, shortReply.substr(7, 2));
    EXPECT_EQ(transmission.responseCode, 0);
    EXPECT_EQ(transmission.commandText, "");
}

TEST(FrameCodec, ResponseCodesWithLettersStillCountAsFailures) {
    EXPECT_EQ(ResponseCodeValue("0000"), 0);
    EXPECT_EQ(ResponseCodeValue("1001"), 1001);
    EXPECT_EQ(ResponseCodeValue("2203"), 2203);
    EXPECT_EQ(ResponseCodeValue("110B"), 0x10000 + 0x110B);
    EXPECT_GT(ResponseCodeValue("\x03x"), 0);
}

// --- putting replies together

struct Assembly {
    ReceiveBuffer buffer;
    std::vector<ReceivedFrame> frames;
    bool sawEtx = false;

    void feed(const std::string& chunk) {
        sawEtx = buffer.add(chunk);
        while (auto frame = buffer.take()) {
            frames.push_back(*frame);
        }
    }
};

TEST(ReceiveBuffer, ReplySplitAtEveryPositionIsTakenOnceWhenItsBccArrives) {
    const std::string reply = test::okReply("0101", "00FA");
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        Assembly assembly;
        assembly.feed(reply.substr(0, cut));
        EXPECT_TRUE(assembly.frames.empty()) << cut;
        EXPECT_EQ(assembly.sawEtx, cut == reply.size() - 1) << "ETX without its BCC, cut " << cut;
        assembly.feed(reply.substr(cut));
        ASSERT_EQ(assembly.frames.size(), 1U) << cut;
        EXPECT_EQ(assembly.frames[0].frame, reply);
        EXPECT_TRUE(assembly.frames[0].bccOk);
    }
}

TEST(ReceiveBuffer, ChunkStartingWithStxDropsAPartialReply) {
    const std::string reply = test::okReply("0101", "00FA");
    Assembly assembly;
    assembly.feed(test::okReply("0104", "8000FA800001").substr(0, 10));
    assembly.feed(reply);
    ASSERT_EQ(assembly.frames.size(), 1U);
    EXPECT_EQ(assembly.frames[0].frame, reply);
}

TEST(ReceiveBuffer, TwoRepliesInOneChunkAreBothTaken) {
    const std::string first = test::okReply("0101", "00FA");
    const std::string second = test::okReply("0101", "0100");
    Assembly assembly;
    assembly.feed(first + second);
    ASSERT_EQ(assembly.frames.size(), 2U);
    EXPECT_EQ(assembly.frames[0].frame, first);
    EXPECT_EQ(assembly.frames[1].frame, second);
}

TEST(ReceiveBuffer, ATakenReplyIsNeverTakenAgain) {
    Assembly assembly;
    assembly.feed(test::okReply("0101", "00FA"));
    assembly.feed("xyz");  // a chunk that does not begin with STX
    EXPECT_EQ(assembly.frames.size(), 1U);
    EXPECT_FALSE(assembly.sawEtx);
}

TEST(ReceiveBuffer, BccWithTheValueOfStxCompletesItsReply) {
    // Find data that make the reply's BCC equal to STX.
    std::string reply;
    for (int value = 0; value < 0x10000 && (reply.empty() || reply.back() != STX); ++value) {
        char data[16];
        std::snprintf(data, sizeof data, "%04X", value);
        reply = test::okReply("0101", data);
    }
    ASSERT_EQ(reply.back(), STX);
    Assembly assembly;
    assembly.feed(reply.substr(0, reply.size() - 1));
    assembly.feed(reply.substr(reply.size() - 1));
    ASSERT_EQ(assembly.frames.size(), 1U);
    EXPECT_EQ(assembly.frames[0].frame, reply);
    EXPECT_TRUE(assembly.frames[0].bccOk);
}

TEST(ReceiveBuffer, GarbageBeforeAReplyIsDroppedAndAWrongBccIsReported) {
    const std::string reply = test::okReply("0101", "00FA");
    Assembly assembly;
    assembly.feed("\xFF\x7Fjunk" + reply);
    ASSERT_EQ(assembly.frames.size(), 1U);
    EXPECT_EQ(assembly.frames[0].frame, reply);

    std::string damaged = reply;
    damaged.back() = static_cast<char>(damaged.back() ^ 0x01);
    assembly.feed(damaged);
    ASSERT_EQ(assembly.frames.size(), 2U);
    EXPECT_FALSE(assembly.frames[1].bccOk);
    EXPECT_TRUE(assembly.buffer.contents().empty());
}

}  // namespace
}  // namespace lumas::compoway
