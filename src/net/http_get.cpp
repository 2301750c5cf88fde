#include "net/http_get.h"

#include <algorithm>
#include <utility>

#include "net/http_url.h"

namespace vantrel {

THTTPGet::THTTPGet(HttpTransport& transport)
    : transport_(transport), self_(std::make_shared<THTTPGet*>(this)) {}

THTTPGet::~THTTPGet() {
    self_.reset();
    if (transfer_) transfer_->abort();
}

void THTTPGet::GetString() {
    start(HttpRequest::Mode::String);
}

void THTTPGet::GetFile() {
    start(HttpRequest::Mode::File);
}

void THTTPGet::Abort() {
    if (!transfer_) return;
    aborted_ = true;
    transfer_->abort();
}

HttpRequest THTTPGet::makeRequest(HttpRequest::Mode mode) const {
    HttpRequest request;
    if (const auto url = splitHttpUrl(URL)) request.url = url->text();
    request.accept = AcceptTypes;
    request.agent = Agent;
    request.referer = Referer;
    request.userName = UserName;
    request.password = Password;
    request.bypassCache = !UseCache;
    if (!PostQuery.empty()) {
        request.method = "POST";
        request.contentType = "application/x-www-form-urlencoded";
        request.body = PostQuery;
    }
    request.mode = mode;
    if (mode == HttpRequest::Mode::File) {
        request.filePath = FileName;
        request.maxBodyBytes = MaxFileSize;
        request.requireContentLength = true;
    } else {
        request.maxBodyBytes = std::clamp<std::int64_t>(MaxResultSize, 1, MaxStringSize);
        request.requireContentLength = BinaryData;
    }
    return request;
}

void THTTPGet::start(HttpRequest::Mode mode) {
    if (transfer_) return;
    aborted_ = false;
    HttpRequest request = makeRequest(mode);
    std::weak_ptr<THTTPGet*> weak = self_;
    HttpTransport::Callbacks callbacks;
    if (OnProgress) {
        callbacks.progress = [weak](std::int64_t total, std::int64_t received) {
            const auto self = weak.lock();
            if (!self) return;
            THTTPGet& get = **self;
            // Copied so that a handler may replace the event or release the component.
            if (auto handler = get.OnProgress) handler(get, total, received);
        };
    }
    callbacks.done = [weak, request](HttpResult result) {
        if (const auto self = weak.lock()) (*self)->finish(request, result);
    };
    transfer_ = transport_.start(std::move(request), std::move(callbacks));
}

bool THTTPGet::succeeded(const HttpRequest& request, const HttpResult& result) const {
    if (aborted_ || !result.completed || !isSuccessStatus(result.status)) return false;
    if (result.contentLength && result.received != *result.contentLength) return false;
    if (request.requireContentLength && !result.contentLength) return false;
    if (request.maxBodyBytes > 0 && result.received > request.maxBodyBytes) return false;
    return request.mode == HttpRequest::Mode::File || result.received != 0;
}

void THTTPGet::finish(const HttpRequest& request, const HttpResult& result) {
    const bool success = succeeded(request, result);
    transfer_.reset();
    // Nothing of the component is touched after the event: its handler may release it.
    if (!success) {
        if (auto handler = OnError) handler(*this);
    } else if (request.mode == HttpRequest::Mode::File) {
        if (auto handler = OnDoneFile) handler(*this, request.filePath, result.received);
    } else {
        if (auto handler = OnDoneString) handler(*this, result.body);
    }
}

}  // namespace vantrel
