#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/request_rules.h"
#include "platform/page/page_script.h"

namespace vantrel::extension {

// The messages between the extension (and its native-messaging host) and Vantrel; the protocol
// is described in docs/ARCHITECTURE.md.

// The most Vantrel reads in one message from a browser: a snapshot's markup is cut at
// page::kBodyMarkupCap characters, which JSON may write as up to twice as many bytes.
constexpr std::size_t kMaxMessageFromBrowser = 24u << 20;
// The most a browser accepts from its host in one message.
constexpr std::size_t kMaxMessageToBrowser = 1u << 20;
// Ids beyond this are no browser's.
constexpr std::int64_t kMaxId = (std::int64_t(1) << 53);

// A message of the extension or its host, checked: every field its type needs is there and of
// its kind.
struct BrowserMessage {
    enum class Type {
        Host,           // browserPid, caller
        Watch,          // browser, version, blocking
        Window,         // window, popup
        WindowRemoved,  // window
        Tab,            // tab, window, url
        TabRemoved,     // tab
        Active,         // tab, window
        Opened,         // tab, source, url
        Navigate,       // tab, frame, url, request (empty when the browser does not wait)
        Open,           // tab, frame, url, features, request: a page's window.open, not yet made
        Committed,      // tab, frame, url
        Complete,       // tab, frame, url, load, snapshot (null when it could not be read)
        Focus,          // window (-1: none of this browser's)
        Unanswered,     // count: requests that went on without a verdict, since the start
        RulesApplied,   // set, count (0 when refused), ms, error (empty when applied)
    };

    Type type = Type::Host;
    std::int64_t window = -1;
    std::int64_t tab = -1;
    std::int64_t source = -1;
    std::int64_t frame = -1;
    std::int64_t load = -1;
    std::int64_t browserPid = 0;
    std::int64_t count = 0;
    std::int64_t ms = 0;
    std::int64_t set = 0;
    std::string url;
    std::string request;
    std::string features;
    std::string browser;
    std::string version;
    std::string brand;
    std::string caller;
    std::string error;
    bool popup = false;
    bool blocking = false;
    nlohmann::json snapshot;
};

// Nothing when `text` is no message of the protocol.
std::optional<BrowserMessage> parseBrowserMessage(std::string_view text);

// Vantrel's messages.
std::string watchingMessage();
std::string declinedMessage(const std::string& reason);
std::string verdictMessage(const std::string& request, bool cancel);
std::string cancelMessage(std::int64_t tab, std::int64_t frame, const std::string& url);
std::string closeMessage(std::int64_t tab);
// The writes to one document, in as many messages as the browser's limit needs; a single
// write over the limit is left out.
std::vector<std::string> writeMessages(std::int64_t tab, std::int64_t frame, std::int64_t load,
                                       const std::vector<page::PageWrite>& writes);
// The browser's rules for document requests, in as many messages as the browser's limit needs,
// each rule as [id, priority, "block" or "allow", a filter text or an array of host names]; all
// carry the number `set`, and the last one `last`. A whole set replaces every rule the browser
// has; a change removes the rules of its ids (listed in the first message) and adds its rules.
std::vector<std::string> wholeRulesMessages(std::int64_t set, const RequestRuleSet& rules);
std::vector<std::string> changedRulesMessages(std::int64_t set, const RequestRuleChange& change);

}  // namespace vantrel::extension
