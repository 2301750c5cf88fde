#pragma once

#include <curl/curl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>

extern char** environ;

// The vendor server stand-in (tools/vendor_server.py) on a free port of 127.0.0.1, stopped at the
// end. Every wait is bounded.
class VendorServer {
  public:
    VendorServer() {
        const std::string script = VANTREL_SOURCE_DIR "/tools/vendor_server.py";
        int out[2];
        if (::pipe(out) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const char* argv[] = {"python3", script.c_str(), "--port", "0", nullptr};
        const int failed =
            posix_spawnp(&pid_, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (failed) {
            ::close(out[0]);
            throw std::runtime_error("cannot start python3");
        }
        port_ = std::stoi(readLine(out[0], 15000));
        ::close(out[0]);
    }

    ~VendorServer() {
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    VendorServer(const VendorServer&) = delete;
    VendorServer& operator=(const VendorServer&) = delete;

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Sets the answer for one path; `json` is the control object without the path.
    void answer(const std::string& path, const std::string& json) {
        const std::string body = "{\"path\": \"" + path + "\", " + json.substr(1);
        if (request("/_control", &body) != "ok")
            throw std::runtime_error("control refused: " + json);
    }
    // The requests received so far, as the server's JSON list.
    std::string requests() { return request("/_requests", nullptr); }

    // Body bytes a "huge" answer had sent when the client stopped taking them: waits (at most
    // 10 s) until the server has noted the count in its last request; -1 when it never does.
    std::int64_t hugeBytesSent() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            const std::string listing = requests();
            const auto at = listing.rfind("\"sent\": ");
            if (at != std::string::npos) return std::stoll(listing.substr(at + 8));
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

  private:
    static std::string readLine(int fd, int timeoutMs) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char c;
            if (::read(fd, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        throw std::runtime_error("vendor server did not report its port");
    }

    static size_t collect(char* data, size_t size, size_t count, void* out) {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    }

    std::string request(const std::string& path, const std::string* postBody) {
        CURL* curl = curl_easy_init();
        std::string url = base() + path, reply;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 10000L);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
        if (postBody) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, postBody->c_str());
        const CURLcode code = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        if (code != CURLE_OK) throw std::runtime_error("vendor server unreachable");
        return reply;
    }

    pid_t pid_ = -1;
    int port_ = 0;
};
