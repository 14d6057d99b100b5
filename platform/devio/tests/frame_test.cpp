#include "platform/devio_frame.h"

#include <gtest/gtest.h>

using namespace platform::devio;

TEST(DevioFrame, RequestRoundTripKeepsEveryFieldAndTheInput)
{
    const uint8_t input[5] = {1, 2, 3, 0xFE, 0xFF};
    RequestHeader h;
    h.op = kOpControl;
    h.code = 0x222400 + 4 * 29;
    h.inputLength = 5;
    h.outputCapacity = 16;
    const std::vector<uint8_t> frame = EncodeRequest(h, input);
    ASSERT_EQ(frame.size(), kRequestHeaderSize + 5);
    // Magic on the wire is the four letters, in this order.
    EXPECT_EQ(std::string(frame.begin(), frame.begin() + 4), "VDIO");
    const auto back = DecodeRequestHeader(frame.data());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->op, kOpControl);
    EXPECT_EQ(back->reserved, 0);
    EXPECT_EQ(back->code, 0x222474u);
    EXPECT_EQ(back->inputLength, 5u);
    EXPECT_EQ(back->outputCapacity, 16u);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + kRequestHeaderSize, frame.end()),
              std::vector<uint8_t>(input, input + 5));
    // Little-endian fields at their fixed offsets.
    EXPECT_EQ(frame[8], 0x74);
    EXPECT_EQ(frame[9], 0x24);
    EXPECT_EQ(frame[10], 0x22);
}

TEST(DevioFrame, WrongMagicAndOversizedLengthsAreRefused)
{
    RequestHeader h;
    h.op = kOpRead;
    std::vector<uint8_t> frame = EncodeRequest(h, nullptr);
    frame[3] ^= 0x01;
    EXPECT_FALSE(DecodeRequestHeader(frame.data()));

    h.inputLength = kMaxTransfer;
    h.outputCapacity = kMaxTransfer;
    EXPECT_TRUE(IsAcceptableRequest(h));
    h.inputLength = kMaxTransfer + 1;
    EXPECT_FALSE(IsAcceptableRequest(h));
    h.inputLength = 0;
    h.outputCapacity = 0xFFFFFFFF;
    EXPECT_FALSE(IsAcceptableRequest(h));
}

TEST(DevioFrame, AnswerRoundTripCarriesOnlyWhatFitsTheCapacity)
{
    const uint8_t out[3] = {9, 8, 7};
    const std::vector<uint8_t> frame = EncodeAnswer({5, 3}, out, 3);
    ASSERT_EQ(frame.size(), kAnswerHeaderSize + 3);
    const auto back = DecodeAnswerHeader(frame.data());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->status, 5u);
    EXPECT_EQ(back->outputLength, 3u);
    std::vector<uint8_t> bad = frame;
    bad[0] = 'X';
    EXPECT_FALSE(DecodeAnswerHeader(bad.data()));

    // A write is reported as 16 bytes transferred with no output buffer: nothing follows.
    EXPECT_EQ(AnswerPayloadLength(16, 0), 0u);
    EXPECT_EQ(AnswerPayloadLength(16, 16), 16u);
    EXPECT_EQ(AnswerPayloadLength(8, 16), 8u);
}
