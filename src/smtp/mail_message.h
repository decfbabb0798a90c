#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Outcome of one delivery attempt and of each recipient. The values index the
// recipient status lists of a MailMessage, so they stay fixed.
enum MailStatus
{
    PermanentFailure = 0,
    TemporaryFailure = 1,
    Accepted = 2,
    Delivered = 3,
    InProgress = 4,
};

// Standard Base64 (RFC 2045 alphabet and padding) with a CR LF after every
// 72 output characters, also after the last one when the length is a multiple
// of 72.
std::string Base64Encode(const void* data, size_t count);

// One alternative body: raw bytes and their MIME type, e.g. "text" / "html".
struct MailPart
{
    MailPart(std::string data, std::string type, std::string subtype)
        : m_data(std::move(data)), m_type(std::move(type)), m_subtype(std::move(subtype))
    {
    }

    // "Content-Type" and "Content-Transfer-Encoding: base64" headers, an empty
    // line, then the data in Base64 and a CR LF, in one write.
    void WritePart(std::ostream& out) const;

    std::string m_data;
    std::string m_type;
    std::string m_subtype;
};

// One e-mail and the per-recipient bookkeeping of its delivery. All text is
// byte text (UTF-8 from the callers) and is sent without conversion.
class MailMessage
{
public:
    MailMessage(std::string subject, std::string body, std::string from);
    MailMessage(const MailMessage&) = delete;
    MailMessage& operator=(const MailMessage&) = delete;

    // Adds the address to the "To: " header and to the pending recipients,
    // exactly as given.
    void AddTo(const std::string& address);
    void AddAlternative(const std::string& data, const std::string& type,
                        const std::string& subtype);

    const std::string& GetFrom() const { return m_from; }

    // The first pending recipient, left in place; false when none is pending.
    bool GetNextRecipient(std::string& address) const;

    // Moves the first pending entry equal to address to the list of status
    // (PermanentFailure .. Delivered).
    void SetRecipientStatus(const std::string& address, MailStatus status);

    // Regroups the lists after an attempt that ended with status: what may be
    // retried becomes pending again.
    void UpdateRecipientLists(MailStatus status);

    // The whole DATA phase text, ending with the "." line: CR LF after every
    // line, body lines starting with "." doubled, header values on one line.
    // The boundaries are built from the current local time.
    void WriteMessage(std::ostream& out) const;
    // Same, with the boundary date text given (tests; both boundaries use it).
    void WriteMessage(std::ostream& out, const std::string& boundaryDate) const;

    // The text the boundaries of a message written now are built from.
    static std::string BoundaryDate();

    const std::string& GetSubject() const { return m_subject; }
    const std::string& GetBody() const { return m_body; }
    const std::vector<std::string>& GetTo() const { return m_to; }
    const std::vector<std::string>& GetPending() const { return m_pending; }
    // The recipients with this status (PermanentFailure .. Delivered).
    const std::vector<std::string>& GetRecipients(MailStatus status) const;
    const std::vector<std::unique_ptr<MailPart>>& GetAlternatives() const
    {
        return m_alternatives;
    }

private:
    std::string m_subject;
    std::string m_body;
    std::string m_from;
    std::vector<std::string> m_to;
    std::vector<std::string> m_pending;
    std::vector<std::string> m_status[4]; // indexed by MailStatus 0..3
    std::vector<std::unique_ptr<MailPart>> m_alternatives;
};
