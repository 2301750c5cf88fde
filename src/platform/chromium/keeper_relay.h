#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::chromium {

// What the keeper does with the DevTools messages it passes between the browser and its one
// client. Messages pass through as they are, except:
// - a command's id is replaced by one of the keeper's own and put back in its reply, so a reply
//   meant for a client that has gone never reaches the next one;
// - an event of a session that the present client did not attach is not passed on;
// - the keeper notes the sessions the client attached (`Target.attachToTarget` replies and
//   `Target.attachedToTarget` events), so that when the client goes they are let go of and the
//   browser waits for nobody.
class KeeperRelay {
  public:
    // A client connected; it starts with no session.
    void clientCame();
    // A message of the client, as the browser is to get it.
    std::string fromClient(const std::string& message);
    // A message of the browser: what the client is to get, or nothing. Commands the keeper
    // sends by itself (to let go of a session attached while no client is there) are added to
    // `toBrowser`.
    std::optional<std::string> fromBrowser(const std::string& message,
                                           std::vector<std::string>& toBrowser);
    // The client went, in whatever way. The commands that turn discovery and auto-attach off
    // and let go of every session it attached: each is run on should it wait for a debugger,
    // its paused requests go on, and it is detached.
    std::vector<std::string> clientGone();
    // A new browser: nothing of the old one is known.
    void browserStarted();

    bool hasClient() const { return hasClient_; }
    size_t sessionCount() const { return sessions_.size(); }

  private:
    struct Command {
        long clientId = 0;
        bool forClient = false;  // false: the keeper's own, or a gone client's
        bool attaches = false;   // its reply names a session the client attached
    };

    std::string ownCommand(const std::string& method, nlohmann::json params,
                           const std::string& sessionId = {});
    void release(const std::string& sessionId, std::vector<std::string>& toBrowser);

    std::map<long, Command> commands_;   // by the keeper's id
    std::vector<std::string> sessions_;  // attached by the present client, oldest first
    long nextId_ = 1;
    bool hasClient_ = false;
};

}  // namespace vantrel::chromium
