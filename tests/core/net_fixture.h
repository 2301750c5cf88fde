#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/net_environment.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_http_transport.h"
#include "settings/settings.h"

namespace vantrel::test {

// The exchanges with the vendor server on a simulated platform, on 2026-12-07, with every
// setting empty. Each run of the apply operation is recorded with its sender flag.
class NetTest : public ::testing::Test {
  protected:
    static constexpr const char* kServer = "http://vendor.test:8931";
    static constexpr const char* kFolder = "/opt/vantrel/";
    static constexpr const char* kToday = "2026-12-07";
    using Answer = sim::SimHttpTransport::Answer;

    sim::SimEventLoop loop;
    sim::SimFileSystem files;
    sim::SimHttpTransport http{loop, &files};
    sim::SimDesktop desktop;
    Settings settings;
    std::vector<bool> applied;
    NetEnvironment environment{
        loop,     http,    files,   desktop,
        settings, kServer, kFolder, [this](bool withSender) { applied.push_back(withSender); }};

    const HttpRequest& request(size_t index) const { return http.request(index); }
    // The address as the transfer component hands it on: scheme, host and port spelled out.
    static std::string url(const std::string& pathAndQuery) {
        return std::string(kServer) + pathAndQuery;
    }
    void answer(size_t index, Answer reply) {
        http.answer(index, std::move(reply));
        loop.runPending();
    }
    void nextDay() { loop.setLocalTime({2026, 12, 8, 9, 0, 0}); }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& shown : desktop.messages) out.push_back(shown.text);
        return out;
    }
};

}  // namespace vantrel::test
