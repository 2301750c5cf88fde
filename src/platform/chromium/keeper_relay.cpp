#include "platform/chromium/keeper_relay.h"

#include <algorithm>

namespace vantrel::chromium {

namespace {

using Json = nlohmann::json;

std::string textOf(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

void KeeperRelay::clientCame() {
    hasClient_ = true;
    sessions_.clear();
}

std::string KeeperRelay::fromClient(const std::string& message) {
    Json command = Json::parse(message, nullptr, false);
    if (!command.is_object() || !command.contains("id") || !command["id"].is_number_integer()) {
        return message;  // the browser answers what it cannot take
    }
    const long id = nextId_++;
    commands_[id] = {command["id"].get<long>(), true,
                     textOf(command, "method") == "Target.attachToTarget"};
    command["id"] = id;
    return command.dump();
}

std::optional<std::string> KeeperRelay::fromBrowser(const std::string& message,
                                                    std::vector<std::string>& toBrowser) {
    Json parsed = Json::parse(message, nullptr, false);
    if (!parsed.is_object()) return std::nullopt;
    if (parsed.contains("id")) {
        const auto it = parsed["id"].is_number_integer() ? commands_.find(parsed["id"].get<long>())
                                                         : commands_.end();
        if (it == commands_.end()) return std::nullopt;
        const Command command = it->second;
        commands_.erase(it);
        if (!command.forClient) return std::nullopt;
        if (command.attaches) {
            const std::string session = textOf(parsed.value("result", Json::object()), "sessionId");
            if (!session.empty()) sessions_.push_back(session);
        }
        parsed["id"] = command.clientId;
        return parsed.dump();
    }

    const std::string method = textOf(parsed, "method");
    const std::string parent = textOf(parsed, "sessionId");
    const bool ofClient =
        hasClient_ && (parent.empty() ||
                       std::find(sessions_.begin(), sessions_.end(), parent) != sessions_.end());
    const Json params = parsed.value("params", Json::object());
    if (method == "Target.attachedToTarget") {
        const std::string session = textOf(params, "sessionId");
        if (!ofClient) {
            release(session, toBrowser);
            return std::nullopt;
        }
        sessions_.push_back(session);
    } else if (method == "Target.detachedFromTarget") {
        std::erase(sessions_, textOf(params, "sessionId"));
    }
    if (!ofClient) return std::nullopt;
    return message;
}

std::vector<std::string> KeeperRelay::clientGone() {
    hasClient_ = false;
    for (auto& [id, command] : commands_) command.forClient = false;
    std::vector<std::string> toBrowser;
    // Nothing new is attached and paused from here on; then the sessions, the newest (the
    // frames inside pages) first.
    toBrowser.push_back(
        ownCommand("Target.setAutoAttach",
                   {{"autoAttach", false}, {"waitForDebuggerOnStart", false}, {"flatten", true}}));
    toBrowser.push_back(ownCommand("Target.setDiscoverTargets", {{"discover", false}}));
    for (auto it = sessions_.rbegin(); it != sessions_.rend(); ++it) release(*it, toBrowser);
    sessions_.clear();
    return toBrowser;
}

void KeeperRelay::browserStarted() {
    commands_.clear();
    sessions_.clear();
}

void KeeperRelay::release(const std::string& sessionId, std::vector<std::string>& toBrowser) {
    if (sessionId.empty()) return;
    toBrowser.push_back(ownCommand("Fetch.disable", Json::object(), sessionId));
    toBrowser.push_back(ownCommand("Runtime.runIfWaitingForDebugger", Json::object(), sessionId));
    toBrowser.push_back(ownCommand("Target.detachFromTarget", {{"sessionId", sessionId}}));
}

std::string KeeperRelay::ownCommand(const std::string& method, nlohmann::json params,
                                    const std::string& sessionId) {
    const long id = nextId_++;
    commands_[id] = {0, false, false};
    Json command = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!sessionId.empty()) command["sessionId"] = sessionId;
    return command.dump();
}

}  // namespace vantrel::chromium
