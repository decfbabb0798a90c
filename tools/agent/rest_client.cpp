#include "rest_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <vector>

struct RestClient::Request
{
    std::string path;
    Done done;
    RestResult result;
    std::size_t cap = 0;
    bool tooLarge = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    CURL* easy = nullptr;

    ~Request()
    {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

namespace
{
size_t Collect(char* data, size_t size, size_t count, void* user)
{
    auto* request = static_cast<RestClient::Request*>(user);
    const size_t n = size * count;
    if (request->result.body.size() + n > request->cap)
    {
        request->tooLarge = true;
        return 0; // ends the transfer
    }
    request->result.body.append(data, n);
    return n;
}

bool IsTlsFailure(CURLcode code)
{
    switch (code)
    {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}
} // namespace

std::string RestResult::Describe() const
{
    if (!error.empty())
        return error;
    switch (status)
    {
    case 200:
        return "HTTP 200";
    case 401:
        return "HTTP 401: the admin server refused the principal and password";
    case 403:
        return "HTTP 403: the principal may not read this (give it the Monitor role)";
    case 404:
        return "HTTP 404: no such resource (RESTful management services off, or the "
               "server is gone)";
    default:
        return "HTTP " + std::to_string(status);
    }
}

RestClient::RestClient() : m_multi(curl_multi_init()) {}

RestClient::~RestClient()
{
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

void RestClient::SetTarget(const RestTarget& target)
{
    m_target = target;
    // Connections of an earlier target must not carry the new credentials' requests.
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
    m_multi = curl_multi_init();
    curl_multi_setopt(static_cast<CURLM*>(m_multi), CURLMOPT_MAX_HOST_CONNECTIONS,
                      static_cast<long>(std::max(1, target.maxConnections)));
}

std::string RestClient::Escape(const std::string& segment)
{
    char* escaped = curl_easy_escape(nullptr, segment.c_str(), static_cast<int>(segment.size()));
    std::string out = escaped ? escaped : "";
    curl_free(escaped);
    return out;
}

void RestClient::Get(const std::string& path, Done done)
{
    auto request = std::make_unique<Request>();
    request->path = path;
    request->done = std::move(done);
    request->cap = m_target.maxAnswerBytes;
    if (m_inRun)
        Start(std::move(request));
    else
        m_pending.push_back(std::move(request));
}

void RestClient::Start(std::unique_ptr<Request> request)
{
    const long long leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 m_deadline - Clock::now())
                                 .count();
    CURL* easy = curl_easy_init();
    request->easy = easy;
    const long timeoutMs = static_cast<long>(
        std::max<long long>(1, std::min<long long>(m_target.timeoutMs, leftMs)));
    const std::string url = m_target.baseUrl + request->path;
    request->headers = curl_slist_append(nullptr, "Accept: application/json");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request->headers);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(easy, CURLOPT_USERNAME, m_target.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, m_target.password.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_target.caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, m_target.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, request->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.get());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, request.get());
    if (curl_multi_add_handle(static_cast<CURLM*>(m_multi), easy) == CURLM_OK)
    {
        ++m_running;
        request.release(); // owned through CURLOPT_PRIVATE until it ends
        return;
    }
    request->result.error = "cannot start a request";
    request->done(request->path, request->result);
}

void RestClient::Run(Clock::time_point deadline)
{
    m_deadline = deadline;
    m_inRun = true;
    std::vector<std::unique_ptr<Request>> pending;
    pending.swap(m_pending);
    for (auto& request : pending)
        Start(std::move(request));
    CURLM* multi = static_cast<CURLM*>(m_multi);
    while (m_running > 0)
    {
        int active = 0;
        curl_multi_perform(multi, &active);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* easy = message->easy_handle;
            const CURLcode code = message->data.result;
            Request* raw = nullptr;
            curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&raw));
            std::unique_ptr<Request> request(raw);
            curl_multi_remove_handle(multi, easy);
            --m_running;
            RestResult& result = request->result;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.status);
            const std::string detail =
                request->errorBuffer[0] ? request->errorBuffer : curl_easy_strerror(code);
            if (request->tooLarge)
                result.error = "an answer over " +
                               std::to_string(m_target.maxAnswerBytes >> 10) + " KiB, refused";
            else if (code == CURLE_OPERATION_TIMEDOUT)
                result.error = "no answer from the admin server within " +
                               std::to_string((m_target.timeoutMs + 999) / 1000) + " s";
            else if (IsTlsFailure(code))
                result.error = "TLS failure: " + detail;
            else if (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST)
                result.error = "cannot reach the admin server at " + m_target.baseUrl + ": " + detail;
            else if (code != CURLE_OK)
                result.error = detail;
            if (!result.error.empty())
                result.body.clear();
            request->done(request->path, result);
        }
        if (m_running > 0)
            curl_multi_poll(multi, nullptr, 0, 200, nullptr);
    }
    m_inRun = false;
}
