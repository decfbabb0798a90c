#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Where and as whom REST requests go.
struct RestTarget
{
    std::string baseUrl; // "https://host:port", no trailing slash
    std::string user;
    std::string password; // handed to libcurl only: never in a URL, a log or an argument
    std::string caFile;
    int timeoutMs = 10000;
    std::size_t maxAnswerBytes = 32u << 20;
    int maxConnections = 8;
};

// The outcome of one GET: the HTTP status and body, or why there was none.
struct RestResult
{
    long status = 0;     // 0: no HTTP answer (see error)
    std::string body;
    std::string error;   // set when there was no whole answer
    bool Ok() const { return error.empty() && status == 200; }
    // One line for a log or an errMsg: error, or the status and what it
    // usually means for this API.
    std::string Describe() const;
};

// GET requests to a WebLogic admin server through libcurl's multi interface:
// every request queued runs in parallel with the others (a few connections,
// kept alive between runs). Certificates and host names are verified. Used by
// one thread at a time.
class RestClient
{
public:
    using Done = std::function<void(const std::string& path, RestResult& result)>;
    using Clock = std::chrono::steady_clock;

    RestClient();
    ~RestClient();
    RestClient(const RestClient&) = delete;
    RestClient& operator=(const RestClient&) = delete;

    void SetTarget(const RestTarget& target);
    const RestTarget& Target() const { return m_target; }

    // Queues a GET of baseUrl + path (path starts with "/management/").
    // done runs inside Run, on Run's thread, and may queue further requests.
    void Get(const std::string& path, Done done);

    // Runs the queued requests, and those their callbacks queue, to their
    // ends; none outlives the deadline.
    void Run(Clock::time_point deadline);

    // The path segment escaped for a URL (server and pool names).
    static std::string Escape(const std::string& segment);

    struct Request; // one transfer in flight (opaque)

private:
    void Start(std::unique_ptr<Request> request);

    RestTarget m_target;
    void* m_multi = nullptr;
    int m_running = 0;
    bool m_inRun = false;
    std::vector<std::unique_ptr<Request>> m_pending;
    Clock::time_point m_deadline;
};
