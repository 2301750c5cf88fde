#include "platform/extension/extension_messages.h"

namespace vantrel::extension {

namespace {

using Json = nlohmann::json;
using Type = BrowserMessage::Type;

// A browser's address is at most 2 MiB long.
constexpr std::size_t kMaxUrl = 2u << 20;
constexpr std::size_t kMaxName = 256;
// A browser's own name goes into the tray tip.
constexpr std::size_t kMaxBrand = 40;
constexpr std::size_t kMaxRequest = 64;
constexpr std::size_t kMaxFeatures = 4096;

enum Field : unsigned {
    kWindow = 1u << 0,
    kTab = 1u << 1,
    kSource = 1u << 2,
    kFrame = 1u << 3,
    kLoad = 1u << 4,
    kUrl = 1u << 5,
    kSnapshot = 1u << 6,
    kPopup = 1u << 7,
    kBrowser = 1u << 8,
    kPid = 1u << 9,
    kCaller = 1u << 10,
    kNoWindow = 1u << 11,  // the window may be -1
    kCount = 1u << 12,
    kFeatures = 1u << 13,
    kRequest = 1u << 14,
};

struct Kind {
    const char* name;
    Type type;
    unsigned fields;
};

constexpr Kind kKinds[] = {
    {"host", Type::Host, kPid | kCaller},
    {"watch", Type::Watch, kBrowser},
    {"window", Type::Window, kWindow | kPopup},
    {"windowRemoved", Type::WindowRemoved, kWindow},
    {"tab", Type::Tab, kTab | kWindow | kUrl},
    {"tabRemoved", Type::TabRemoved, kTab},
    {"active", Type::Active, kTab | kWindow},
    {"opened", Type::Opened, kTab | kSource | kUrl},
    {"navigate", Type::Navigate, kTab | kFrame | kUrl},
    {"open", Type::Open, kTab | kFrame | kUrl | kFeatures | kRequest},
    {"committed", Type::Committed, kTab | kFrame | kUrl},
    {"complete", Type::Complete, kTab | kFrame | kUrl | kLoad | kSnapshot},
    {"focus", Type::Focus, kWindow | kNoWindow},
    {"unanswered", Type::Unanswered, kCount},
    {"rulesApplied", Type::RulesApplied, kCount},
};

bool readId(const Json& message, const char* key, bool noneAllowed, std::int64_t& out) {
    const auto it = message.find(key);
    if (it == message.end() || !it->is_number_integer()) return false;
    const auto value = it->get<std::int64_t>();
    if (value < (noneAllowed ? -1 : 0) || value > kMaxId) return false;
    out = value;
    return true;
}

bool readText(const Json& message, const char* key, std::size_t limit, std::string& out) {
    const auto it = message.find(key);
    if (it == message.end() || !it->is_string()) return false;
    const auto& text = it->get_ref<const std::string&>();
    if (text.size() > limit) return false;
    out = text;
    return true;
}

bool readFlag(const Json& message, const char* key, bool& out) {
    const auto it = message.find(key);
    if (it == message.end() || !it->is_boolean()) return false;
    out = it->get<bool>();
    return true;
}

// The identifier of a request the browser holds for the verdict: never empty.
bool readRequest(const Json& m, BrowserMessage& out) {
    return readText(m, "request", kMaxRequest, out.request) && !out.request.empty();
}

bool readFields(const Json& m, unsigned fields, BrowserMessage& out) {
    const bool noWindow = fields & kNoWindow;
    if ((fields & kWindow) && !readId(m, "window", noWindow, out.window)) return false;
    if ((fields & kTab) && !readId(m, "tab", false, out.tab)) return false;
    if ((fields & kSource) && !readId(m, "source", false, out.source)) return false;
    if ((fields & kFrame) && !readId(m, "frame", false, out.frame)) return false;
    if ((fields & kLoad) && !readId(m, "load", false, out.load)) return false;
    if ((fields & kPid) && !readId(m, "browserPid", false, out.browserPid)) return false;
    if ((fields & kCount) && !readId(m, "count", false, out.count)) return false;
    if ((fields & kUrl) && !readText(m, "url", kMaxUrl, out.url)) return false;
    if ((fields & kCaller) && !readText(m, "caller", kMaxName, out.caller)) return false;
    if ((fields & kBrowser) && !readText(m, "browser", kMaxName, out.browser)) return false;
    if ((fields & kPopup) && !readFlag(m, "popup", out.popup)) return false;
    if ((fields & kFeatures) && !readText(m, "features", kMaxFeatures, out.features)) return false;
    if ((fields & kRequest) && !readRequest(m, out)) return false;
    if (fields & kSnapshot) {
        const auto it = m.find("snapshot");
        if (it == m.end() || !(it->is_object() || it->is_null())) return false;
        out.snapshot = *it;
    }
    return true;
}

// The optional fields: absent is fine, present must be of their kind.
bool readOptional(const Json& m, BrowserMessage& out) {
    if (out.type == Type::Watch) {
        if (m.contains("version") && !readText(m, "version", kMaxName, out.version)) return false;
        if (m.contains("brand") && !readText(m, "brand", kMaxBrand, out.brand)) return false;
        // Requests let go before this connection, under an earlier Vantrel.
        if (m.contains("unanswered") && !readId(m, "unanswered", false, out.count)) return false;
        if (m.contains("blocking") && !readFlag(m, "blocking", out.blocking)) return false;
    }
    if (out.type == Type::RulesApplied) {
        if (m.contains("set") && !readId(m, "set", false, out.set)) return false;
        if (m.contains("ms") && !readId(m, "ms", false, out.ms)) return false;
        if (m.contains("error") && !readText(m, "error", kMaxName, out.error)) return false;
    }
    if (out.type == Type::Navigate && m.contains("request")) return readRequest(m, out);
    return true;
}

std::string dump(const Json& message) {
    return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::optional<BrowserMessage> parseBrowserMessage(std::string_view text) {
    const Json m = Json::parse(text, nullptr, false);
    if (!m.is_object()) return std::nullopt;
    const auto type = m.find("type");
    if (type == m.end() || !type->is_string()) return std::nullopt;
    for (const Kind& kind : kKinds) {
        if (type->get_ref<const std::string&>() != kind.name) continue;
        BrowserMessage message;
        message.type = kind.type;
        if (!readFields(m, kind.fields, message) || !readOptional(m, message)) return std::nullopt;
        return message;
    }
    return std::nullopt;
}

std::string watchingMessage() {
    return dump({{"type", "watching"}});
}

std::string declinedMessage(const std::string& reason) {
    return dump({{"type", "declined"}, {"reason", reason}});
}

std::string verdictMessage(const std::string& request, bool cancel) {
    return dump({{"type", "verdict"}, {"request", request}, {"cancel", cancel}});
}

std::string cancelMessage(std::int64_t tab, std::int64_t frame, const std::string& url) {
    return dump({{"type", "cancel"}, {"tab", tab}, {"frame", frame}, {"url", url}});
}

std::string closeMessage(std::int64_t tab) {
    return dump({{"type", "close"}, {"tab", tab}});
}

namespace {

// The items in arrays that each fit one message that is `emptySize` bytes without them; an item
// too large for a message of its own is left out.
std::vector<Json> batchesOf(const std::vector<Json>& items, std::size_t emptySize) {
    std::vector<Json> batches;
    Json batch = Json::array();
    std::size_t size = emptySize;
    for (const Json& item : items) {
        const std::size_t itemSize = dump(item).size() + 1;
        if (emptySize + itemSize > kMaxMessageToBrowser) continue;
        if (size + itemSize > kMaxMessageToBrowser) {
            batches.push_back(std::move(batch));
            batch = Json::array();
            size = emptySize;
        }
        batch.push_back(item);
        size += itemSize;
    }
    if (!batch.empty()) batches.push_back(std::move(batch));
    return batches;
}

Json ruleItem(const RequestRule& rule) {
    const char* action = rule.action == RequestRule::Action::Allow ? "allow" : "block";
    Json match = rule.urlFilter.empty() ? Json(rule.requestDomains) : Json(rule.urlFilter);
    return Json::array({rule.id, rule.priority, action, std::move(match)});
}

std::vector<std::string> rulesMessages(std::int64_t set, bool whole, const std::vector<int>& remove,
                                       const std::vector<RequestRule>& rules) {
    auto message = [&](const Json& items, bool first, bool last) {
        return dump({{"type", "rules"},
                     {"set", set},
                     {"whole", whole},
                     {"last", last},
                     {"remove", first ? Json(remove) : Json::array()},
                     {"rules", items}});
    };
    std::vector<Json> items;
    items.reserve(rules.size());
    for (const auto& rule : rules) items.push_back(ruleItem(rule));
    std::vector<Json> batches = batchesOf(items, message(Json::array(), true, false).size());
    if (batches.empty()) batches.push_back(Json::array());
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        messages.push_back(message(batches[i], i == 0, i + 1 == batches.size()));
    }
    return messages;
}

}  // namespace

std::vector<std::string> writeMessages(std::int64_t tab, std::int64_t frame, std::int64_t load,
                                       const std::vector<page::PageWrite>& writes) {
    const Json head = {{"type", "write"}, {"tab", tab}, {"frame", frame}, {"load", load}};
    auto message = [&](const Json& ops) {
        Json m = head;
        m["ops"] = ops;
        return dump(m);
    };
    std::vector<std::string> messages;
    const std::vector<Json> ops = page::writeOps(writes);
    for (const Json& batch : batchesOf(ops, message(Json::array()).size())) {
        messages.push_back(message(batch));
    }
    return messages;
}

std::vector<std::string> wholeRulesMessages(std::int64_t set, const RequestRuleSet& rules) {
    return rulesMessages(set, true, {}, rules.rules);
}

std::vector<std::string> changedRulesMessages(std::int64_t set, const RequestRuleChange& change) {
    return rulesMessages(set, false, change.removedIds, change.addedRules);
}

}  // namespace vantrel::extension
