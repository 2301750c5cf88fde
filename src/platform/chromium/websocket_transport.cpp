// The only file that compiles Boost.Beast.
#include "platform/chromium/websocket_transport.h"

#include <atomic>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <deque>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/browser.h"

namespace vantrel::chromium {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = net::ip::tcp;

namespace {

// Same cap as the pipe: the program never needs more.
constexpr size_t kMaxMessage = 64u << 20;

void splitHostPort(const std::string& hostPort, WebSocketAddress& address) {
    const auto colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
        throw BrowserError("not a host:port address: " + hostPort);
    }
    address.host = hostPort.substr(0, colon);
    address.port = hostPort.substr(colon + 1);
}

WebSocketAddress parseWsUrl(const std::string& url) {
    WebSocketAddress address;
    const std::string rest = url.substr(5);  // after "ws://"
    const auto slash = rest.find('/');
    splitHostPort(rest.substr(0, slash), address);
    address.path = slash == std::string::npos ? "/" : rest.substr(slash);
    return address;
}

// Runs the io_context until `done` or the deadline; false on timeout.
bool runUntil(net::io_context& ioc, const bool& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done) {
        if (ioc.stopped()) ioc.restart();
        if (ioc.run_one_until(deadline) == 0 && std::chrono::steady_clock::now() >= deadline) {
            return done;
        }
    }
    return true;
}

std::string fetchVersionPage(const WebSocketAddress& where, std::chrono::milliseconds timeout) {
    net::io_context ioc;
    beast::tcp_stream stream(ioc);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code failure;
    bool done = false;
    http::request<http::empty_body> request(http::verb::get, "/json/version", 11);
    request.set(http::field::host, where.host + ":" + where.port);
    tcp::resolver resolver(ioc);
    stream.expires_after(timeout);
    resolver.async_resolve(where.host, where.port, [&](beast::error_code ec, auto results) {
        if (ec) {
            failure = ec;
            done = true;
            return;
        }
        stream.async_connect(results, [&](beast::error_code ec2, auto) {
            if (ec2) {
                failure = ec2;
                done = true;
                return;
            }
            http::async_write(stream, request, [&](beast::error_code ec3, size_t) {
                if (ec3) {
                    failure = ec3;
                    done = true;
                    return;
                }
                http::async_read(stream, buffer, response, [&](beast::error_code ec4, size_t) {
                    failure = ec4;
                    done = true;
                });
            });
        });
    });
    if (!runUntil(ioc, done, timeout) || failure) {
        throw BrowserError("no DevTools endpoint at " + where.host + ":" + where.port);
    }
    return response.body();
}

class WebSocketTransport : public CdpTransport {
  public:
    WebSocketTransport(const WebSocketAddress& where, std::chrono::milliseconds timeout)
        : ws_(ioc_), work_(net::make_work_guard(ioc_)) {
        beast::error_code failure;
        bool done = false;
        tcp::resolver resolver(ioc_);
        beast::get_lowest_layer(ws_).expires_after(timeout);
        resolver.async_resolve(where.host, where.port, [&](beast::error_code ec, auto results) {
            if (ec) {
                failure = ec;
                done = true;
                return;
            }
            beast::get_lowest_layer(ws_).async_connect(results, [&](beast::error_code ec2, auto) {
                if (ec2) {
                    failure = ec2;
                    done = true;
                    return;
                }
                beast::get_lowest_layer(ws_).expires_never();
                ws_.read_message_max(kMaxMessage);
                ws_.async_handshake(where.host + ":" + where.port, where.path,
                                    [&](beast::error_code ec3) {
                                        failure = ec3;
                                        done = true;
                                    });
            });
        });
        if (!runUntil(ioc_, done, timeout) || failure) {
            throw BrowserError("cannot attach to the browser at ws://" + where.host + ":" +
                               where.port + where.path);
        }
        readNext();
    }

    ~WebSocketTransport() override {
        beast::error_code ec;
        beast::get_lowest_layer(ws_).socket().close(ec);
    }

    std::optional<std::string> read() override {
        while (inbox_.empty() && !closed_) {
            if (ioc_.stopped()) ioc_.restart();
            ioc_.run_one();
        }
        if (inbox_.empty()) return std::nullopt;
        std::string message = std::move(inbox_.front());
        inbox_.pop_front();
        return message;
    }

    bool send(const std::string& message) override {
        if (closed_) return false;
        net::post(ioc_, [this, message] {
            outbox_.push_back(message);
            if (outbox_.size() == 1) writeNext();
        });
        return true;
    }

    void close() override {
        net::post(ioc_, [this] {
            closing_ = true;
            if (outbox_.empty()) shutDown();
        });
    }

  private:
    void readNext() {
        ws_.async_read(buffer_, [this](beast::error_code ec, size_t) {
            if (ec) {
                closed_ = true;
                return;
            }
            inbox_.push_back(beast::buffers_to_string(buffer_.data()));
            buffer_.consume(buffer_.size());
            readNext();
        });
    }

    void writeNext() {
        ws_.text(true);
        ws_.async_write(net::buffer(outbox_.front()), [this](beast::error_code ec, size_t) {
            outbox_.pop_front();
            if (ec) {
                closed_ = true;
                outbox_.clear();
            }
            if (!outbox_.empty()) {
                writeNext();
            } else if (closing_) {
                shutDown();
            }
        });
    }

    void shutDown() {
        beast::error_code ec;
        beast::get_lowest_layer(ws_).socket().shutdown(tcp::socket::shutdown_both, ec);
        beast::get_lowest_layer(ws_).socket().close(ec);
        closed_ = true;
    }

    // Everything below runs on the reader thread (inside read()), except `send` and `close`,
    // which only post to it.
    net::io_context ioc_;
    websocket::stream<beast::tcp_stream> ws_;
    net::executor_work_guard<net::io_context::executor_type> work_;
    beast::flat_buffer buffer_;
    std::deque<std::string> inbox_;
    std::deque<std::string> outbox_;
    std::atomic<bool> closed_{false};
    bool closing_ = false;
};

}  // namespace

WebSocketAddress resolveDevToolsEndpoint(const std::string& endpoint,
                                         std::chrono::milliseconds timeout) {
    if (endpoint.rfind("ws://", 0) == 0) return parseWsUrl(endpoint);
    std::error_code ec;
    if (std::filesystem::is_regular_file(endpoint, ec)) {
        // DevToolsActivePort: the port, then the browser's path. It outlives the browser,
        // so the caller's connection attempt is the real test.
        std::ifstream file(endpoint);
        WebSocketAddress address{"127.0.0.1", {}, {}};
        if (!std::getline(file, address.port) || !std::getline(file, address.path) ||
            address.port.empty() || address.path.empty() || address.path[0] != '/') {
            throw BrowserError("not a DevToolsActivePort file: " + endpoint);
        }
        return address;
    }
    std::string hostPort = endpoint;
    if (hostPort.rfind("http://", 0) == 0) hostPort = hostPort.substr(7);
    if (!hostPort.empty() && hostPort.back() == '/') hostPort.pop_back();
    WebSocketAddress where;
    splitHostPort(hostPort, where);
    const auto version = nlohmann::json::parse(fetchVersionPage(where, timeout), nullptr, false);
    const auto url = version.is_object() ? version.value("webSocketDebuggerUrl", "") : "";
    if (url.rfind("ws://", 0) != 0) throw BrowserError("no browser address at " + hostPort);
    return parseWsUrl(url);
}

std::unique_ptr<CdpTransport> connectWebSocket(const std::string& endpoint,
                                               std::chrono::milliseconds timeout) {
    return std::make_unique<WebSocketTransport>(resolveDevToolsEndpoint(endpoint, timeout),
                                                timeout);
}

}  // namespace vantrel::chromium
