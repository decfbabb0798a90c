#include "smtp/tls_session.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <sys/stat.h>

#include <map>
#include <mutex>

namespace
{
using ContextPtr = std::shared_ptr<SSL_CTX>;

std::string OpenSslReason(unsigned long code)
{
    if (code == 0)
        return "unknown TLS error";
    if (const char* reason = ERR_reason_error_string(code))
        return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

// Loading the system's CA store costs milliseconds: one context per CA file
// (and its modification time) serves every mail.
ContextPtr Context(const std::string& caFile, std::string& error)
{
    static std::mutex mutex;
    static std::map<std::string, ContextPtr> contexts;

    std::string key = caFile;
    if (!caFile.empty())
    {
        struct stat st;
        if (::stat(caFile.c_str(), &st) != 0)
        {
            error = "cannot read the CA file " + caFile;
            return nullptr;
        }
        key += "@" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    }

    std::lock_guard<std::mutex> lock(mutex);
    const auto found = contexts.find(key);
    if (found != contexts.end())
        return found->second;

    ERR_clear_error();
    ContextPtr context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context)
    {
        error = "cannot set up TLS: " + OpenSslReason(ERR_get_error());
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context.get(),
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_set_default_verify_paths(context.get()) != 1)
    {
        error = "cannot load the system's CA certificates: " + OpenSslReason(ERR_get_error());
        return nullptr;
    }
    if (!caFile.empty() &&
        SSL_CTX_load_verify_locations(context.get(), caFile.c_str(), nullptr) != 1)
    {
        error = "cannot use the CA file " + caFile + ": " + OpenSslReason(ERR_get_error());
        return nullptr;
    }
    contexts[key] = context;
    return context;
}

bool IsAddress(const std::string& host)
{
    unsigned char buffer[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}
} // namespace

struct TlsSession::Impl
{
    ~Impl()
    {
        if (ssl)
            SSL_free(ssl); // frees both memory buffers with it
    }

    SSL* ssl = nullptr;
    BIO* fromNetwork = nullptr; // owned by ssl
    BIO* toNetwork = nullptr;   // owned by ssl
};

TlsSession::TlsSession(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

TlsSession::~TlsSession() = default;

std::unique_ptr<TlsSession> TlsSession::Create(const std::string& host, const std::string& caFile,
                                               std::string& error)
{
    const ContextPtr context = Context(caFile, error);
    if (!context)
        return nullptr;

    ERR_clear_error();
    auto impl = std::make_unique<Impl>();
    impl->ssl = SSL_new(context.get());
    impl->fromNetwork = BIO_new(BIO_s_mem());
    impl->toNetwork = BIO_new(BIO_s_mem());
    if (!impl->ssl || !impl->fromNetwork || !impl->toNetwork)
    {
        BIO_free(impl->fromNetwork);
        BIO_free(impl->toNetwork);
        error = "cannot set up TLS: " + OpenSslReason(ERR_get_error());
        return nullptr;
    }
    // An empty input buffer means "more to come", not the end of the stream.
    BIO_set_mem_eof_return(impl->fromNetwork, -1);
    SSL_set_bio(impl->ssl, impl->fromNetwork, impl->toNetwork);
    SSL_set_connect_state(impl->ssl);

    bool named = false;
    if (IsAddress(host))
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(impl->ssl), host.c_str()) == 1;
    else
    {
        SSL_set_hostflags(impl->ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = SSL_set1_host(impl->ssl, host.c_str()) == 1 &&
                SSL_set_tlsext_host_name(impl->ssl, host.c_str()) == 1;
    }
    if (!named)
    {
        error = "cannot check a certificate for the host name " + host;
        return nullptr;
    }

    std::unique_ptr<TlsSession> session(new TlsSession(std::move(impl)));
    session->Advance(); // the client speaks first
    return session;
}

void TlsSession::SetFailure(int result)
{
    const int kind = SSL_get_error(m_impl->ssl, result);
    if (kind == SSL_ERROR_WANT_READ || kind == SSL_ERROR_WANT_WRITE ||
        kind == SSL_ERROR_ZERO_RETURN)
        return; // more bytes needed, or the server ended TLS: the connection's end tells
    const long verify = SSL_get_verify_result(m_impl->ssl);
    if (!m_established && verify != X509_V_OK)
        m_error = std::string("certificate verification failed: ") +
                  X509_verify_cert_error_string(verify);
    else if (const unsigned long code = ERR_get_error())
        m_error = OpenSslReason(code);
    else if (kind == SSL_ERROR_SYSCALL)
        return; // nothing in the queue: the stream ended, which the socket reports
    else
        m_error = "TLS error " + std::to_string(kind);
}

void TlsSession::Advance()
{
    if (Failed())
        return;
    if (!m_established)
    {
        ERR_clear_error();
        const int result = SSL_do_handshake(m_impl->ssl);
        if (result != 1)
        {
            SetFailure(result);
            return;
        }
        m_established = true;
    }
    while (!m_pendingPlain.empty())
    {
        size_t written = 0;
        ERR_clear_error();
        if (SSL_write_ex(m_impl->ssl, m_pendingPlain.data(), m_pendingPlain.size(), &written) != 1)
        {
            SetFailure(0);
            return;
        }
        m_pendingPlain.erase(0, written);
    }
}

void TlsSession::FeedCipher(const char* data, size_t count)
{
    if (count > 0)
        BIO_write(m_impl->fromNetwork, data, static_cast<int>(count));
}

void TlsSession::WritePlain(const std::string& bytes)
{
    m_pendingPlain += bytes;
    Advance();
}

std::string TlsSession::ReadPlain()
{
    Advance();
    std::string plain;
    while (m_established && !Failed())
    {
        char buffer[16 * 1024];
        size_t got = 0;
        ERR_clear_error();
        if (SSL_read_ex(m_impl->ssl, buffer, sizeof buffer, &got) != 1)
        {
            SetFailure(0);
            break;
        }
        plain.append(buffer, got);
    }
    if (!m_pendingPlain.empty())
        Advance();
    return plain;
}

std::string TlsSession::TakeCipher()
{
    std::string out;
    const size_t pending = BIO_ctrl_pending(m_impl->toNetwork);
    if (pending == 0)
        return out;
    out.resize(pending);
    const int got = BIO_read(m_impl->toNetwork, &out[0], static_cast<int>(pending));
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

void TlsSession::Shutdown()
{
    if (m_established && !Failed())
    {
        ERR_clear_error();
        SSL_shutdown(m_impl->ssl);
    }
}
