#include "smtp/mail_message.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{
std::string Written(const MailMessage& message, const std::string& date = "D")
{
    std::ostringstream out;
    message.WriteMessage(out, date);
    return out.str();
}

std::string Base64(const std::string& bytes)
{
    return Base64Encode(bytes.data(), bytes.size());
}
} // namespace

struct Base64Case
{
    const char* name;
    std::string input;
    std::string expected;
};

class Base64Vectors : public ::testing::TestWithParam<Base64Case>
{
};

TEST_P(Base64Vectors, EncodesAsRfc4648)
{
    EXPECT_EQ(Base64(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    PaddingAndLineBreaks, Base64Vectors,
    ::testing::Values(
        Base64Case{"OneByteTwoPads", "f", "Zg=="}, Base64Case{"TwoBytesOnePad", "fo", "Zm8="},
        // bytes above 0x7F must not sign-extend
        Base64Case{"HighBytes", "\xff\xfe\xfd\x80", "//79gA=="},
        // bytes 0 to 53: the alphabet in use, and exactly one 72-character
        // line with the break after it
        Base64Case{"AlphabetFillsOneLine",
                   [] {
                       std::string bytes;
                       for (int i = 0; i < 54; ++i)
                           bytes.push_back(static_cast<char>(i));
                       return bytes;
                   }(),
                   "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1\r\n"},
        // the count runs over the whole output: the 73rd character opens line two
        Base64Case{"LineAndABit", std::string(55, '\0'), std::string(72, 'A') + "\r\nAA=="}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailPart, FullLineOfBase64EndsWithAnEmptyLine)
{
    MailPart part(std::string(54, '\0'), "text", "html");
    std::ostringstream out;
    part.WritePart(out);
    EXPECT_EQ(out.str(), "Content-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                             std::string(72, 'A') + "\r\n\r\n");
}

// The alarm mail, with a second alternative to show their order.
TEST(MailMessage, MessageBytesWithAlternativesInOrder)
{
    MailMessage message("Bug report", "Your code really sucks.\nFix your code", "me@here");
    message.AddAlternative("[ srv1] [ srv2]  Died!!!", "text", "html");
    message.AddAlternative("foobar", "application", "octet-stream");
    message.AddTo("ops@site;boss@site");
    EXPECT_EQ(Written(message, "1234"),
              "From: me@here\r\n"
              "To: ops@site;boss@site\r\n"
              "Subject: Bug report\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=\"---_1234-boundary-1234_---\"\r\n"
              "\r\n"
              "\r\n"
              "This is a multi-part message in MIME format\r\n"
              "\r\n"
              "-----_1234-boundary-1234_---\r\n"
              "Content-Type: multipart/alternative; boundary=\"---_1234-02-boundary-02-1234_---\"\r\n"
              "\r\n"
              "-----_1234-02-boundary-02-1234_---\r\n"
              "Content-Type: text/plain; charset=iso-8859-1\r\n"
              "Content-Transfer-Encoding: 8bit\r\n"
              "\r\n"
              "Your code really sucks.\r\nFix your code\r\n"
              "-----_1234-02-boundary-02-1234_---\r\n"
              "Content-Type: text/html\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "\r\n"
              "WyBzcnYxXSBbIHNydjJdICBEaWVkISEh\r\n"
              "-----_1234-02-boundary-02-1234_---\r\n"
              "Content-Type: application/octet-stream\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "\r\n"
              "Zm9vYmFy\r\n"
              "-----_1234-02-boundary-02-1234_-----\r\n"
              "-----_1234-boundary-1234_-----\r\n"
              ".\r\n");
}

// Regression: a bare LF went out as is and a body line "." ended the data
// early; a line break in a header value started a header of its own.
TEST(MailMessage, LineEndsDotStuffingAndOneLineHeaders)
{
    MailMessage message("Alarm\r\nBcc: spy@x", "a\nb\r\n.\r.c\n..d\ne", "me@here\n");
    for (int i = 0; i < 6; ++i)
        message.AddTo("recipient" + std::to_string(i) + "@example.com");
    const std::string text = Written(message);
    EXPECT_NE(text.find("\r\n\r\na\r\nb\r\n..\r\n..c\r\n...d\r\ne\r\n-----_D-boundary-D_---"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Subject: Alarm  Bcc: spy@x\r\n"), std::string::npos);
    EXPECT_NE(text.find("From: me@here \r\n"), std::string::npos);
    // Six addresses fold onto a second header line.
    EXPECT_NE(text.find("To: recipient0@example.com, recipient1@example.com, "
                        "recipient2@example.com,\r\n recipient3@example.com"),
              std::string::npos)
        << text;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        ASSERT_EQ(text[at - 1], '\r') << "bare LF at " << at;
}

TEST(MailMessage, RecipientBookkeeping)
{
    MailMessage message("S", "b", "f");
    message.AddTo("a");
    message.AddTo("b");
    message.AddTo("a");
    std::string next;
    ASSERT_TRUE(message.GetNextRecipient(next));
    EXPECT_EQ(next, "a");
    EXPECT_EQ(message.GetPending().size(), 3u); // looking does not take it

    // Only the first of two equal pending entries goes.
    message.SetRecipientStatus("a", Accepted);
    EXPECT_EQ(message.GetPending(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(message.GetRecipients(Accepted), (std::vector<std::string>{"a"}));
    EXPECT_EQ(message.GetTo(), (std::vector<std::string>{"a", "b", "a"}));

    message.SetRecipientStatus("b", PermanentFailure);
    message.SetRecipientStatus("a", TemporaryFailure);
    EXPECT_FALSE(message.GetNextRecipient(next));
}

struct RegroupCase
{
    const char* name;
    MailStatus attempt;
    std::vector<std::string> pending, refused, deferred, accepted, delivered;
};

class RecipientRegrouping : public ::testing::TestWithParam<RegroupCase>
{
};

// Before: pending p, refused r, temporarily refused t1 t2, accepted a.
TEST_P(RecipientRegrouping, MovesListsInOrder)
{
    MailMessage message("S", "b", "f");
    for (const char* who : {"r", "t1", "t2", "a", "p"})
        message.AddTo(who);
    message.SetRecipientStatus("r", PermanentFailure);
    message.SetRecipientStatus("t1", TemporaryFailure);
    message.SetRecipientStatus("t2", TemporaryFailure);
    message.SetRecipientStatus("a", Accepted);
    message.UpdateRecipientLists(GetParam().attempt);

    const RegroupCase& want = GetParam();
    EXPECT_EQ(message.GetPending(), want.pending);
    EXPECT_EQ(message.GetRecipients(PermanentFailure), want.refused);
    EXPECT_EQ(message.GetRecipients(TemporaryFailure), want.deferred);
    EXPECT_EQ(message.GetRecipients(Accepted), want.accepted);
    EXPECT_EQ(message.GetRecipients(Delivered), want.delivered);
}

INSTANTIATE_TEST_SUITE_P(
    ByAttemptStatus, RecipientRegrouping,
    ::testing::Values(
        RegroupCase{"Permanent", PermanentFailure, {"t1", "t2"}, {"r", "p", "a"}, {}, {}, {}},
        RegroupCase{"Temporary", TemporaryFailure, {"p", "t1", "t2", "a"}, {"r"}, {}, {}, {}},
        RegroupCase{"Delivered", Delivered, {"p", "t1", "t2"}, {"r"}, {}, {}, {"a"}},
        RegroupCase{"InProgressMovesNothing", InProgress, {"p"}, {"r"}, {"t1", "t2"}, {"a"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });
