#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/http_transport.h"

namespace vantrel {

// One background HTTP GET or POST into a string or a file. The owner sets the properties and
// events, starts it with GetString or GetFile, and may release it in whichever completion event
// fires. Exactly one of OnDoneString, OnDoneFile or OnError follows each started transfer, on the
// main thread, after the worker has finished. A transfer succeeds only with a status from 200 to
// 299 and a whole body: as long as announced, announced at all in file mode (and with
// BinaryData), and not empty in string mode.
class THTTPGet {
  public:
    using TOnProgressEvent =
        std::function<void(THTTPGet& Sender, std::int64_t TotalSize, std::int64_t Readed)>;
    using TOnDoneFileEvent =
        std::function<void(THTTPGet& Sender, const std::string& FileName, std::int64_t FileSize)>;
    using TOnDoneStringEvent = std::function<void(THTTPGet& Sender, const std::string& Result)>;
    using TNotifyEvent = std::function<void(THTTPGet& Sender)>;

    // A string body beyond this is a failure, so a server cannot make the program hold more.
    static constexpr std::int64_t MaxStringSize = 4 * 1024 * 1024;

    explicit THTTPGet(HttpTransport& transport);
    // Aborts a running transfer; none of its events is raised any more.
    ~THTTPGet();
    THTTPGet(const THTTPGet&) = delete;
    THTTPGet& operator=(const THTTPGet&) = delete;

    std::string AcceptTypes = "*/*";
    std::string Agent = "Hexvane HTTPGet";
    bool BinaryData = false;  // without a Content-Length header the transfer fails
    std::string URL;
    bool UseCache = false;         // false asks caches on the way for a fresh copy
    std::string FileName;          // target of GetFile; never left holding less than a whole body
    std::int64_t MaxFileSize = 0;  // GetFile: a body announced larger fails unread; 0: no limit
    // GetString: a longer answer fails; lower it for answers known to be short. At most
    // MaxStringSize.
    std::int64_t MaxResultSize = MaxStringSize;
    std::string UserName;
    std::string Password;
    std::string PostQuery;  // non-empty: a form POST with this body
    std::string Referer;

    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;
    TNotifyEvent OnError;

    // Both return at once and do nothing while a transfer of this object runs.
    void GetString();
    void GetFile();
    // The running transfer, if any, ends with OnError.
    void Abort();
    bool Busy() const { return transfer_ != nullptr; }

  private:
    void start(HttpRequest::Mode mode);
    HttpRequest makeRequest(HttpRequest::Mode mode) const;
    bool succeeded(const HttpRequest& request, const HttpResult& result) const;
    void finish(const HttpRequest& request, const HttpResult& result);

    HttpTransport& transport_;
    std::unique_ptr<HttpTransfer> transfer_;
    bool aborted_ = false;  // an abort wins even over a transfer that had already finished
    // Callbacks hold it weakly: once the component is gone they find nothing to call.
    std::shared_ptr<THTTPGet*> self_;
};

}  // namespace vantrel
