#include "smtp/mail_message.h"

#include <ctime>

namespace
{
const char kCrLf[] = "\r\n";

// Appends every entry of from to the end of to, in order, and empties from.
void MoveAll(std::vector<std::string>& from, std::vector<std::string>& to)
{
    to.insert(to.end(), from.begin(), from.end());
    from.clear();
}

// A header value is one line: a CR or LF inside would start a header (or the
// body) of the sender's choosing.
std::string HeaderValue(const std::string& text)
{
    std::string value = text;
    for (char& c : value)
    {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return value;
}

// The body as SMTP carries it: every line ends with CR LF (a bare LF or CR
// is a line end too), and a line that starts with "." gets a second one, so
// that no line of it can pass for the end of the data.
std::string BodyLines(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    bool lineStart = true;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c == '\r' || c == '\n')
        {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += kCrLf;
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out.push_back('.');
        out.push_back(c);
        lineStart = false;
    }
    return out;
}

// The To addresses, folded onto continuation lines before a line grows long.
std::string ToHeader(const std::vector<std::string>& to)
{
    std::string header = "To: ";
    size_t lineLength = header.size();
    for (size_t i = 0; i < to.size(); ++i)
    {
        const std::string address = HeaderValue(to[i]);
        if (i > 0)
        {
            header += ",";
            if (lineLength + 2 + address.size() > 76)
            {
                header += std::string(kCrLf) + " ";
                lineLength = 1;
            }
            else
            {
                header += " ";
                lineLength += 2;
            }
        }
        header += address;
        lineLength += address.size();
    }
    return header + kCrLf;
}
} // namespace

std::string Base64Encode(const void* data, size_t count)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* in = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((count + 2) / 3 * 4 + (count / 54 + 1) * 2);
    size_t column = 0;
    auto put = [&](char c)
    {
        out.push_back(c);
        if (++column == 72)
        {
            out += kCrLf;
            column = 0;
        }
    };
    size_t i = 0;
    for (; i + 3 <= count; i += 3)
    {
        const unsigned long group = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        put(kAlphabet[(group >> 18) & 0x3F]);
        put(kAlphabet[(group >> 12) & 0x3F]);
        put(kAlphabet[(group >> 6) & 0x3F]);
        put(kAlphabet[group & 0x3F]);
    }
    const size_t rest = count - i;
    if (rest > 0)
    {
        const unsigned long group = (in[i] << 16) | (rest == 2 ? (in[i + 1] << 8) : 0);
        put(kAlphabet[(group >> 18) & 0x3F]);
        put(kAlphabet[(group >> 12) & 0x3F]);
        put(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
        put('=');
    }
    return out;
}

void MailPart::WritePart(std::ostream& out) const
{
    std::string text = "Content-Type: " + m_type + "/" + m_subtype + kCrLf +
                       "Content-Transfer-Encoding: base64" + kCrLf + kCrLf +
                       Base64Encode(m_data.data(), m_data.size()) + kCrLf;
    out << text;
}

MailMessage::MailMessage(std::string subject, std::string body, std::string from)
    : m_subject(std::move(subject)), m_body(std::move(body)), m_from(std::move(from))
{
}

void MailMessage::AddTo(const std::string& address)
{
    m_to.push_back(address);
    m_pending.push_back(address);
}

void MailMessage::AddAlternative(const std::string& data, const std::string& type,
                                 const std::string& subtype)
{
    m_alternatives.push_back(std::make_unique<MailPart>(data, type, subtype));
}

bool MailMessage::GetNextRecipient(std::string& address) const
{
    if (m_pending.empty())
        return false;
    address = m_pending.front();
    return true;
}

void MailMessage::SetRecipientStatus(const std::string& address, MailStatus status)
{
    if (status < PermanentFailure || status > Delivered)
        return;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
    {
        if (*it == address)
        {
            m_pending.erase(it);
            break;
        }
    }
    m_status[status].push_back(address);
}

void MailMessage::UpdateRecipientLists(MailStatus status)
{
    auto& refused = m_status[PermanentFailure];
    auto& deferred = m_status[TemporaryFailure];
    auto& accepted = m_status[Accepted];
    auto& delivered = m_status[Delivered];
    switch (status)
    {
    case PermanentFailure:
        MoveAll(m_pending, refused);
        MoveAll(accepted, refused);
        MoveAll(deferred, m_pending);
        break;
    case TemporaryFailure:
        MoveAll(deferred, m_pending);
        MoveAll(accepted, m_pending);
        break;
    case Delivered:
        MoveAll(accepted, delivered);
        MoveAll(deferred, m_pending);
        break;
    default:
        break;
    }
}

const std::vector<std::string>& MailMessage::GetRecipients(MailStatus status) const
{
    static const std::vector<std::string> none;
    if (status < PermanentFailure || status > Delivered)
        return none;
    return m_status[status];
}

std::string MailMessage::BoundaryDate()
{
    // Hour, month, minute, century, day, second, epoch seconds, weekday and
    // week of the year: digits only, so the boundary needs no quoting beyond
    // its quotation marks.
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char text[96];
    const size_t n = std::strftime(text, sizeof text, "%H%m%M%C%d%S%s%w%W", &parts);
    return std::string(text, n);
}

void MailMessage::WriteMessage(std::ostream& out) const
{
    WriteMessage(out, BoundaryDate());
}

void MailMessage::WriteMessage(std::ostream& out, const std::string& d) const
{
    const std::string outer = "---_" + d + "-boundary-" + d + "_---";
    const std::string inner = "---_" + d + "-02-boundary-02-" + d + "_---";
    const bool alternatives = !m_alternatives.empty();

    std::string head;
    head += "From: " + HeaderValue(m_from) + kCrLf;
    if (!m_to.empty())
        head += ToHeader(m_to);
    head += "Subject: " + HeaderValue(m_subject) + kCrLf;
    head += std::string("MIME-Version: 1.0") + kCrLf;
    head += "Content-Type: multipart/mixed; boundary=\"" + outer + "\"" + kCrLf;
    head += std::string(kCrLf) + kCrLf;
    head += std::string("This is a multi-part message in MIME format") + kCrLf;
    head += kCrLf;
    head += "--" + outer + kCrLf;
    if (alternatives)
    {
        head += "Content-Type: multipart/alternative; boundary=\"" + inner + "\"" + kCrLf;
        head += kCrLf;
        head += "--" + inner + kCrLf;
    }
    head += std::string("Content-Type: text/plain; charset=iso-8859-1") + kCrLf;
    head += std::string("Content-Transfer-Encoding: 8bit") + kCrLf;
    head += kCrLf;
    head += BodyLines(m_body) + kCrLf;
    out << head;

    for (const auto& part : m_alternatives)
    {
        out << "--" << inner << kCrLf;
        part->WritePart(out);
    }
    if (alternatives)
        out << "--" << inner << "--" << kCrLf;
    out << "--" << outer << "--" << kCrLf << "." << kCrLf;
}
