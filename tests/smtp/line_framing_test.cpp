// Reply framing of wxCmdlineProtocol, fed byte pieces directly.
#include "smtp/cmdline_protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class LineRecorder : public wxCmdlineProtocol
{
public:
    void Feed(const std::string& bytes) { ReceiveBytes(bytes.data(), bytes.size()); }
    void OnConnect(wxSocketEvent&) override {}
    void OnDisconnect(wxSocketEvent&) override {}
    void OnResponse(const std::string& line) override
    {
        lines.push_back(line);
        if (closeAfter && lines.size() == closeAfter)
            Close();
    }

    std::vector<std::string> lines;
    size_t closeAfter = 0;
};

using Lines = std::vector<std::string>;
} // namespace

struct FramingCase
{
    const char* name;
    std::vector<std::string> pieces;
    Lines lines;
    std::string left; // still buffered
};

class LineFraming : public ::testing::TestWithParam<FramingCase>
{
};

TEST_P(LineFraming, HandsOverCompleteLines)
{
    LineRecorder protocol;
    for (const auto& piece : GetParam().pieces)
        protocol.Feed(piece);
    EXPECT_EQ(protocol.lines, GetParam().lines);
    EXPECT_EQ(protocol.GetReceiveBuffer(), GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, LineFraming,
    ::testing::Values(
        FramingCase{"OneLine", {"220 hi\r\n"}, {"220 hi"}, ""},
        FramingCase{"SplitOverPackets", {"22", "0 h", "i\r\n"}, {"220 hi"}, ""},
        // a lone CR waits for its LF
        FramingCase{"LoneCrAtTheEnd", {"250 ok\r"}, {}, "250 ok\r"},
        FramingCase{"CrThenLfLater", {"250 ok\r", "\n"}, {"250 ok"}, ""},
        FramingCase{"SingleStrayByte", {"2"}, {}, "2"},
        // a CR not followed by LF belongs to the line
        FramingCase{"CrInsideLine", {"250 a\rb\r\n"}, {"250 a\rb"}, ""},
        FramingCase{"BareLfIsNoLineEnd", {"250 a\nb\r\n"}, {"250 a\nb"}, ""},
        FramingCase{"TwoLinesInOnePacket", {"220-first\r\n220 second\r\n"},
                    {"220-first", "220 second"}, ""},
        FramingCase{"LineAndAPiece", {"250 ok\r\n35"}, {"250 ok"}, "35"},
        FramingCase{"EmptyLine", {"\r\n"}, {""}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineFraming, FloodWithoutCrLfIsCappedAndFails)
{
    LineRecorder protocol;
    const std::string chunk(wxCmdlineProtocol::kReadChunk, 'x');
    size_t fed = 0;
    while (fed < 100 * wxCmdlineProtocol::kMaxLineLength)
    {
        protocol.Feed(chunk);
        fed += chunk.size();
        ASSERT_LE(protocol.GetReceiveBuffer().size(), wxCmdlineProtocol::kMaxLineLength);
    }
    // Each full buffer counted as one reply without a code.
    ASSERT_FALSE(protocol.lines.empty());
    for (const auto& line : protocol.lines)
        EXPECT_EQ(line, "");
    EXPECT_GE(protocol.lines.size(), 90u);
}

TEST(LineFraming, OverlongLineWithItsEndCountsAsFailedReply)
{
    LineRecorder protocol;
    protocol.Feed(std::string(wxCmdlineProtocol::kMaxLineLength + 10, '2') + "\r\n250 ok\r\n");
    EXPECT_EQ(protocol.lines, (Lines{"", "250 ok"}));
}

TEST(LineFraming, StopsWhenALineClosesTheConnection)
{
    LineRecorder protocol;
    protocol.closeAfter = 1;
    protocol.Feed("221 bye\r\n250 stale\r\n");
    EXPECT_EQ(protocol.lines, (Lines{"221 bye"}));
    EXPECT_EQ(protocol.GetReceiveBuffer(), ""); // the rest went with the connection
}

TEST(CmdlineProtocol, SetHostForms)
{
    LineRecorder protocol;
    protocol.SetHost("mail.example", 2525);
    EXPECT_EQ(protocol.GetPort(), 2525);
    EXPECT_TRUE(protocol.GetService().empty());
    protocol.SetHost("mail.example", "smtp");
    EXPECT_EQ(protocol.GetPort(), 0);
    EXPECT_EQ(protocol.GetService(), "smtp");
    EXPECT_EQ(protocol.GetHost(), "mail.example");
}
