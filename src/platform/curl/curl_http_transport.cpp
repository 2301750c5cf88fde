#include "platform/curl/curl_http_transport.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace vantrel::curl {

namespace {

// The socket's receive buffer for answers read into memory. Kept small, so that a server
// cannot push much beyond the cap into buffers before reading stops; those answers are short.
constexpr int kStringReceiveBuffer = 64 * 1024;

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeaderListCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

// Everything of one transfer. The worker thread owns the transfer state; the main thread only
// raises the callbacks and sets `aborted_`.
class CurlHttpTransport::Worker : public std::enable_shared_from_this<Worker> {
  public:
    Worker(EventLoop& loop, HttpRequest request, Callbacks callbacks, Timeouts timeouts)
        : loop_(loop),
          request_(std::move(request)),
          callbacks_(std::move(callbacks)),
          timeouts_(timeouts) {}

    void startThread(std::weak_ptr<Workers> running) {
        running_ = std::move(running);
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    }

    void abort() {
        {
            std::lock_guard lock(mutex_);
            aborted_ = true;
        }
        progressRan_.notify_all();
    }

    void join() {
        if (thread_.joinable()) thread_.join();
    }

    // Main thread, once the worker has ended: an abort that came after the body was whole still
    // fails the transfer, and its file goes.
    void discardIfAborted() {
        if (!isAborted() || !result_.completed) return;
        result_.completed = false;
        stop("aborted");
        removeFile();
    }

  private:
    void run() {
        perform();
        if (file_) closeFile();
        if (!result_.completed) removeFile();
        loop_.post([self = shared_from_this()] { self->complete(); });
    }

    // Main thread: the worker's last act was posting this, so the join is short.
    void complete() {
        join();
        if (const auto running = running_.lock()) {
            std::erase(*running, shared_from_this());
        }
        discardIfAborted();
        callbacks_.done(std::move(result_));
    }

    // Only a file this transfer created is removed.
    void removeFile() {
        if (fileCreated_) std::remove(request_.filePath.c_str());
        fileCreated_ = false;
    }

    void perform() {
        std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
        if (!curl) return stop("cannot start a transfer");
        curl_ = curl.get();
        if (request_.url.empty()) return stop("unusable address");
        if (hasLineBreak(request_.accept) || hasLineBreak(request_.agent) ||
            hasLineBreak(request_.referer) || hasLineBreak(request_.contentType)) {
            return stop("line break in a header");
        }

        curl_slist* rawHeaders = nullptr;
        auto addHeader = [&rawHeaders](const std::string& line) {
            if (curl_slist* next = curl_slist_append(rawHeaders, line.c_str())) rawHeaders = next;
        };
        addHeader(request_.accept.empty() ? "Accept:" : "Accept: " + request_.accept);
        addHeader("Expect:");
        if (request_.bypassCache) {
            addHeader("Cache-Control: no-cache");
            addHeader("Pragma: no-cache");
        }
        if (request_.method == "POST") addHeader("Content-Type: " + request_.contentType);
        std::unique_ptr<curl_slist, HeaderListCleanup> headers(rawHeaders);

        char errorText[CURL_ERROR_SIZE] = {};
        CURL* c = curl_;
        curl_easy_setopt(c, CURLOPT_URL, request_.url.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
        curl_easy_setopt(c, CURLOPT_HTTP09_ALLOWED, 0L);
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(timeouts_.connect.count()));
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(timeouts_.stall.count()));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(timeouts_.total.count()));
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
        if (!request_.agent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, request_.agent.c_str());
        if (!request_.referer.empty())
            curl_easy_setopt(c, CURLOPT_REFERER, request_.referer.c_str());
        if (!request_.userName.empty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, request_.userName.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, request_.password.c_str());
            curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_ANY));
        }
        if (request_.method == "POST") {
            curl_easy_setopt(c, CURLOPT_POSTFIELDS, request_.body.data());
            curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request_.body.size()));
        }
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Worker::onBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Worker::onTick);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        if (request_.mode == HttpRequest::Mode::String) {
            curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, &Worker::onSocket);
        }

        const CURLcode code = curl_easy_perform(c);
        readHeaders();
        if (isAborted()) return stop("aborted");
        if (code != CURLE_OK) {
            if (result_.error.empty()) {
                result_.error = errorText[0] ? errorText : curl_easy_strerror(code);
            }
            return;
        }
        // A response without a body never reached onBody: its headers are judged here.
        if (!headersJudged_ && !acceptHeaders()) return;
        result_.completed = true;
    }

    void stop(const std::string& why) {
        if (result_.error.empty()) result_.error = why;
    }

    void readHeaders() {
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        result_.status = int(status);
        curl_off_t length = -1;
        curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length >= 0) result_.contentLength = std::int64_t(length);
    }

    // Decides once the headers are in whether the body is worth reading, and opens the file.
    bool acceptHeaders() {
        headersJudged_ = true;
        readHeaders();
        if (!isSuccessStatus(result_.status)) {
            stop("status " + std::to_string(result_.status));
            return false;
        }
        if (request_.requireContentLength && !result_.contentLength) {
            stop("no Content-Length");
            return false;
        }
        if (beyondCap(result_.contentLength.value_or(0))) {
            stop("body too large");
            return false;
        }
        if (request_.mode == HttpRequest::Mode::String) {
            if (result_.contentLength) result_.body.reserve(size_t(*result_.contentLength));
            return true;
        }
        file_ = std::fopen(request_.filePath.c_str(), "wb");
        if (!file_) {
            stop("cannot create " + request_.filePath);
            return false;
        }
        fileCreated_ = true;
        return true;
    }

    bool beyondCap(std::int64_t bytes) const {
        return request_.maxBodyBytes > 0 && bytes > request_.maxBodyBytes;
    }

    bool store(const char* data, size_t size) {
        if (beyondCap(result_.received + std::int64_t(size))) {
            stop("body too large");
            return false;
        }
        if (request_.mode == HttpRequest::Mode::String) {
            result_.body.append(data, size);
        } else if (std::fwrite(data, 1, size, file_) != size) {
            stop("cannot write " + request_.filePath);
            return false;
        }
        result_.received += std::int64_t(size);
        return true;
    }

    // Stored bytes reach the disk before the transfer counts as done.
    void closeFile() {
        bool written = std::fflush(file_) == 0 && ::fsync(fileno(file_)) == 0;
        written = std::fclose(file_) == 0 && written;
        file_ = nullptr;
        if (!written && result_.completed) {
            result_.completed = false;
            stop("cannot write " + request_.filePath);
        }
    }

    // Raises progress on the main thread and waits until it has run or the transfer is aborted.
    void reportProgress() {
        if (!callbacks_.progress) return;
        const std::int64_t total = result_.contentLength.value_or(0);
        const std::int64_t received = result_.received;
        {
            std::lock_guard lock(mutex_);
            progressPending_ = true;
        }
        loop_.post([self = shared_from_this(), total, received] {
            if (!self->isAborted()) self->callbacks_.progress(total, received);
            {
                std::lock_guard done(self->mutex_);
                self->progressPending_ = false;
            }
            self->progressRan_.notify_all();
        });
        std::unique_lock lock(mutex_);
        progressRan_.wait(lock, [this] { return !progressPending_ || aborted_; });
    }

    bool isAborted() {
        std::lock_guard lock(mutex_);
        return aborted_;
    }

    // Returning fewer bytes than given makes libcurl end the transfer.
    static size_t onBody(char* data, size_t size, size_t count, void* self) {
        auto& worker = *static_cast<Worker*>(self);
        const size_t bytes = size * count;
        if (!worker.headersJudged_ && !worker.acceptHeaders()) return 0;
        if (worker.isAborted() || !worker.store(data, bytes)) return 0;
        worker.reportProgress();
        return bytes;
    }

    static int onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto& worker = *static_cast<Worker*>(self);
        return worker.isAborted() ? 1 : 0;
    }

    // Before the connection is made, so that the small window is the one offered.
    static int onSocket(void*, curl_socket_t socket, curlsocktype purpose) {
        if (purpose == CURLSOCKTYPE_IPCXN) {
            const int size = kStringReceiveBuffer;
            ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
        return CURL_SOCKOPT_OK;
    }

    EventLoop& loop_;
    const HttpRequest request_;
    Callbacks callbacks_;
    const Timeouts timeouts_;
    std::weak_ptr<Workers> running_;
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable progressRan_;
    bool aborted_ = false;
    bool progressPending_ = false;

    // Worker thread only, until the completion is posted.
    CURL* curl_ = nullptr;
    std::FILE* file_ = nullptr;
    bool fileCreated_ = false;
    bool headersJudged_ = false;
    HttpResult result_;
};

class CurlHttpTransport::Handle : public HttpTransfer {
  public:
    explicit Handle(std::weak_ptr<Worker> worker) : worker_(std::move(worker)) {}
    void abort() override {
        if (const auto worker = worker_.lock()) worker->abort();
    }

  private:
    std::weak_ptr<Worker> worker_;
};

CurlHttpTransport::CurlHttpTransport(EventLoop& loop, Timeouts timeouts)
    : loop_(loop), timeouts_(timeouts), running_(std::make_shared<Workers>()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlHttpTransport::~CurlHttpTransport() {
    for (const auto& worker : *running_) worker->abort();
    for (const auto& worker : *running_) worker->join();
    // Their completions may never run: what they leave is settled now.
    for (const auto& worker : *running_) worker->discardIfAborted();
}

std::unique_ptr<HttpTransfer> CurlHttpTransport::start(HttpRequest request, Callbacks callbacks) {
    auto worker =
        std::make_shared<Worker>(loop_, std::move(request), std::move(callbacks), timeouts_);
    running_->push_back(worker);
    worker->startThread(running_);
    return std::make_unique<Handle>(worker);
}

}  // namespace vantrel::curl
