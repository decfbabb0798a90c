// The benchmark's own helpers: the SMTP sink the alarm-mail figures count on,
// the stand-in agent processes of the console figures, and the median.
#include "agent/agent_link.h"
#include "bench.h"
#include "sim_agents.h"
#include "smtp_sink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace
{
const std::string kMail = "HELO localhost\r\n"
                          "MAIL FROM:<corvane-alarm@localhost>\r\n"
                          "RCPT TO:<ops@site>\r\n"
                          "DATA\r\n"
                          "Subject: Bug report\r\n"
                          "\r\n"
                          "..a line that began with a dot\r\n"
                          "x.\r\n"
                          ".\r\n";
const std::string kMailReplies = "250 sink\r\n250 ok\r\n250 ok\r\n"
                                 "354 end with <CRLF>.<CRLF>\r\n250 queued\r\n";

struct Split
{
    const char* name;
    size_t piece; // bytes per Feed; 0: all at once
};

class SinkSessionSplit : public ::testing::TestWithParam<Split>
{
};

// The same dialogue gets the same replies however the bytes are cut.
TEST_P(SinkSessionSplit, RepliesAndCountDoNotDependOnPieces)
{
    const std::string bytes = kMail + "RSET\r\nMAIL FROM:<a@b>\r\nRCPT TO:<c@d>\r\nDATA\r\n.\r\nQUIT\r\n";
    SmtpSinkSession session;
    std::string replies;
    const size_t piece = GetParam().piece ? GetParam().piece : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += piece)
        replies += session.Feed(bytes.substr(at, piece));
    EXPECT_EQ(replies, kMailReplies + "250 ok\r\n250 ok\r\n250 ok\r\n"
                                      "354 end with <CRLF>.<CRLF>\r\n250 queued\r\n221 bye\r\n");
    EXPECT_EQ(session.Accepted(), 2u); // the second one empty
    EXPECT_TRUE(session.Closing());
}

INSTANTIATE_TEST_SUITE_P(Pieces, SinkSessionSplit,
                         ::testing::Values(Split{"Whole", 0}, Split{"Bytes", 1}, Split{"Pairs", 2},
                                           Split{"Threes", 3}, Split{"Sevens", 7}),
                         [](const auto& info) { return std::string(info.param.name); });

// Regression: a body line ending in "." or a dot-stuffed line must not end
// the data early, and a mark cut just before its last byte must still end it.
TEST(SinkSession, EndMarkOnlyOnALineOfItsOwn)
{
    SmtpSinkSession session;
    session.Feed("HELO x\r\nMAIL FROM:<a@b>\r\nRCPT TO:<c@d>\r\nDATA\r\n");
    EXPECT_EQ(session.Feed("body x.\r\n..\r\nmore\r\n.\r"), "");
    EXPECT_EQ(session.Accepted(), 0u);
    EXPECT_EQ(session.Feed("\n"), "250 queued\r\n");
    EXPECT_EQ(session.Accepted(), 1u);
}

TEST(SinkSession, UnknownCommandsAreRefusedAndLowerCaseUnderstood)
{
    SmtpSinkSession session;
    EXPECT_EQ(session.Feed("STARTTLS\r\nhelo x\r\nquit\r\nNOOP\r\n"),
              "500 unknown command\r\n250 sink\r\n221 bye\r\n");
    EXPECT_TRUE(session.Closing());
}

// A plain client over loopback: what the alarm-mail figures wait for.
TEST(SmtpSink, CountsMailsOfSeveralConnections)
{
    SmtpSink sink;
    ASSERT_NE(sink.Port(), 0);
    auto converse = [&](const std::string& bytes, const std::string& expected)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(sink.Port());
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
        std::string got;
        char buffer[256];
        pollfd p{fd, POLLIN, 0};
        ssize_t n = 0;
        // Until the sink closes after QUIT.
        while (::poll(&p, 1, 5000) > 0 && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            got.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        EXPECT_EQ(got, expected);
    };
    converse(kMail + "QUIT\r\n", SmtpSinkSession::Greeting() + kMailReplies + "221 bye\r\n");
    converse(kMail + kMail + "QUIT\r\n",
             SmtpSinkSession::Greeting() + kMailReplies + kMailReplies + "221 bye\r\n");
    EXPECT_EQ(sink.Accepted(), 3u);
}

TEST(AgentProcess, ServesTheLinkOnThePortItPrinted)
{
    AgentProcess agent({"--tuxedo", "--servers", "3", "--queues", "2", "--clients", "4"});
    ASSERT_NE(agent.Port(), 0) << AgentProcess::ProgramPath();
    AgentLink link(AgentLink::Timeouts{2000, 5000});
    ASSERT_EQ(link.Connect("127.0.0.1", agent.Port()), 1);
    ASSERT_EQ(link.Handshake(), 1);
    EXPECT_NE(link.RequestBytes('^', std::string()).find("<MONITOR"), std::string::npos);
    link.Close();
}

TEST(AgentProcess, ABadCommandLineGivesNoPort)
{
    AgentProcess agent({"--servers", "many"});
    EXPECT_EQ(agent.Port(), 0);
}

TEST(Median, OfOddEvenAndNoTimings)
{
    EXPECT_EQ(Median({}), 0);
    EXPECT_EQ(Median({30, 10, 20}), 20);
    EXPECT_EQ(Median({4, 1, 3, 2}), 2.5);
}
} // namespace
