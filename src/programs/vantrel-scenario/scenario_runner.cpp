#include "programs/vantrel-scenario/scenario_runner.h"

#include <map>
#include <ostream>
#include <sstream>

#include "common/text.h"
#include "engine/key_codes.h"

namespace vantrel::scenario {

namespace {

// Words separated by blanks; "double quotes" keep blanks inside one word.
std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            word =
                line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            i = close == std::string::npos ? line.size() : close + 1;
        } else {
            const size_t end = line.find_first_of(" \t", i);
            word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        words.push_back(word);
    }
    return words;
}

// The text after the first `count` words, as written.
std::string restAfter(const std::string& line, int count) {
    size_t i = 0;
    for (int word = 0; word < count; ++word) {
        i = line.find_first_not_of(" \t", i);
        i = line.find_first_of(" \t", i);
        if (i == std::string::npos) return {};
    }
    i = line.find_first_not_of(" \t", i);
    return i == std::string::npos ? std::string() : line.substr(i);
}

std::string joined(const std::vector<std::string>& words, size_t from) {
    std::string out;
    for (size_t i = from; i < words.size(); ++i) out += (out.empty() ? "" : " ") + words[i];
    return out;
}

std::string trayName(TrayIcon icon) {
    switch (icon) {
        case TrayIcon::StopIcon:
            return "stop";
        case TrayIcon::Tray:
            return "tray";
        case TrayIcon::Tray1:
            return "tray1";
    }
    return "?";
}

// Key names as a keyboard shows them: a letter or digit, or F1 to F24.
std::uint32_t keysymOf(const std::string& name) {
    if (name.size() == 1) return static_cast<unsigned char>(name[0]);
    if (name.size() > 1 && (name[0] == 'F' || name[0] == 'f')) {
        long long n = 0;
        if (parseDecimal(name.substr(1), n) && n >= 1 && n <= 24)
            return 0xFFBE + std::uint32_t(n - 1);
    }
    throw std::invalid_argument("unknown key " + name);
}

const std::map<std::string, sim::BrowserCall>& browserCalls() {
    using sim::BrowserCall;
    static const std::map<std::string, BrowserCall> calls = {
        {"createwindows", BrowserCall::CreateWindows},
        {"count", BrowserCall::Count},
        {"item", BrowserCall::Item},
        {"handle", BrowserCall::Handle},
        {"location", BrowserCall::LocationURL},
        {"toolbar", BrowserCall::ToolBar},
        {"menubar", BrowserCall::MenuBar},
        {"quit", BrowserCall::Quit},
        {"document", BrowserCall::Document},
        {"advise", BrowserCall::Advise},
    };
    return calls;
}

std::string listText(const DomainList& list) {
    return list.size() == 0 ? "-" : joined(list.entries(), 0);
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::string fileName, std::ostream& out)
    : fileName_(std::move(fileName)), out_(out) {
    form_ = std::make_unique<VantrelForm>(world_.platform());
    if (!form_->FormCreate()) fail("start-up failed");
}

void ScenarioRunner::runLine(int lineNumber, const std::string& line) {
    lineNumber_ = lineNumber;
    const Words words = splitWords(line);
    if (words.empty()) return;
    try {
        if (words[0] == "expect") {
            expect(words);
        } else {
            act(words, line);
            world_.loop.runPending();  // closes take effect once the event is handled
        }
    } catch (const std::exception& e) {
        fail(e.what());
    }
}

void ScenarioRunner::fail(const std::string& message) {
    ++failed_;
    out_ << fileName_ << ':' << lineNumber_ << ": " << message << '\n';
}

void ScenarioRunner::check(bool ok, const std::string& what, const std::string& got) {
    if (ok) {
        ++passed_;
    } else {
        fail("expected " + what + ", got " + got);
    }
}

std::shared_ptr<sim::SimBrowser> ScenarioRunner::window(const std::string& name) const {
    auto found = world_.browsers.window(name);
    if (!found) throw std::invalid_argument("no window " + name);
    return found;
}

std::string& ScenarioRunner::keyBox(const std::string& which) {
    if (which == "allowed") return form_->controls.EditHK;
    if (which == "blacklist") return form_->controls.EditBHK;
    throw std::invalid_argument("no key box " + which);
}

int ScenarioRunner::hotKeyId(const std::string& which) const {
    if (which == "allowed") return form_->hotKeys.allowedId();
    if (which == "blacklist") return form_->hotKeys.blacklistId();
    long long id = 0;
    if (parseDecimal(which, id)) return int(id);
    throw std::invalid_argument("no hot key " + which);
}

void ScenarioRunner::setSetting(const std::string& name, const std::string& value) {
    Settings& s = form_->settings;
    const std::map<std::string, std::string*> fields = {
        {"killpop", &s.killpop},   {"killurl", &s.killurl},     {"killbanner", &s.killbanner},
        {"killidle", &s.killidle}, {"enhotcut", &s.enhotcut},   {"is_blinked", &s.is_blinked},
        {"is_sound", &s.is_sound}, {"vtr_sound", &s.vtr_sound}, {"vtr_key", &s.vtr_key},
        {"vtr_bkey", &s.vtr_bkey},
    };
    auto it = fields.find(name);
    if (it == fields.end()) throw std::invalid_argument("no setting " + name);
    *it->second = value;
}

void ScenarioRunner::act(const Words& w, const std::string& line) {
    const auto need = [&](size_t count) {
        if (w.size() < count) throw std::invalid_argument(w[0] + ": missing arguments");
    };
    const std::string& command = w[0];
    if (command == "setting") {
        need(3);
        setSetting(w[1], w[2]);
    } else if (command == "allow" || command == "block") {
        need(2);
        auto& lists = form_->lists;
        lists.AddURLToList(command == "allow" ? lists.CleanList : lists.BlackList, w[1]);
    } else if (command == "file") {
        need(2);
        world_.files.files[w[1]] = w.size() > 2 ? w[2] : "";
    } else if (command == "window" || command == "popup") {
        need(3);
        const bool popup = command == "popup";
        world_.browsers.open(w[1], w[2], popup ? 0 : 1, !popup);
    } else if (command == "front") {
        need(2);
        world_.desktop.foreground = w[1] == "none" ? 0 : window(w[1])->windowHandle;
    } else if (command == "ctrl") {
        need(2);
        world_.desktop.controlDown = w[1] == "down";
    } else if (command == "navigate") {
        need(3);
        lastCancelled_ = world_.browsers.navigate(window(w[1]), w[2]);
    } else if (command == "newwindow") {
        need(2);
        world_.browsers.requestNewWindow(window(w[1]));
    } else if (command == "complete") {
        need(2);
        const std::string body = restAfter(line, 2);
        world_.browsers.complete(window(w[1]),
                                 body.empty() ? std::nullopt : std::optional<std::string>(body));
    } else if (command == "wait") {
        need(2);
        long long ms = 0;
        if (!parseDecimal(w[1], ms) || ms < 0) throw std::invalid_argument("bad time " + w[1]);
        world_.loop.advance(ms);
    } else if (command == "hotkey") {
        need(2);
        form_->hotKeys.hotKeyMessage(hotKeyId(w[1]));
    } else if (command == "button") {
        form_->hotKeys.browserButtonMessage();
    } else if (command == "keydown") {
        need(2);
        form_->hotKeys.EditHKKeyDown(keyBox(w[1]));
    } else if (command == "keyup") {
        need(3);
        form_->hotKeys.EditHKKeyUp(keyBox(w[1]), virtualKeyFromKeysym(keysymOf(w[2])));
    } else if (command == "apply") {
        form_->applyOptions(true);
    } else if (command == "fail") {
        need(3);
        auto call = browserCalls().find(w[2]);
        if (call == browserCalls().end()) throw std::invalid_argument("no call " + w[2]);
        if (w[1] == "shell") {
            world_.browsers.failing.insert(call->second);
        } else {
            window(w[1])->failing.insert(call->second);
        }
    } else if (command == "select") {
        need(2);
        long long row = 0;
        if (!parseDecimal(w[1], row)) throw std::invalid_argument("bad row " + w[1]);
        form_->killLog.ListViewLog.select(int(row) - 1);
    } else if (command == "dblclick") {
        form_->killLog.ListViewLogDblClick();
    } else if (command == "clear") {
        form_->killLog.IBtnClearClick();
    } else if (command == "testsound") {
        form_->killSound.IBtnTestClick();
    } else {
        throw std::invalid_argument("unknown command " + command);
    }
}

void ScenarioRunner::expect(const Words& w) {
    if (w.size() < 2) throw std::invalid_argument("expect what?");
    const std::string& what = w[1];
    const std::string value = joined(w, 2);
    const auto number = [&](size_t index) {
        long long n = 0;
        if (w.size() <= index || !parseDecimal(w[index], n)) {
            throw std::invalid_argument("expect " + what + ": a number is missing");
        }
        return n;
    };
    auto& log = form_->killLog.ListViewLog;
    if (what == "closed" || what == "open") {
        for (size_t i = 2; i < w.size(); ++i) {
            window(w[i]);
            const bool open = world_.browsers.isOpen(w[i]);
            check(open == (what == "open"), w[i] + " " + what, open ? "open" : "closed");
        }
    } else if (what == "closes") {
        const std::string got =
            world_.browsers.closed.empty() ? "-" : joined(world_.browsers.closed, 0);
        check(got == value, "closes " + value, got);
    } else if (what == "cancelled") {
        const bool want = value == "yes";
        check(lastCancelled_ == want, "cancelled " + value, lastCancelled_ ? "yes" : "no");
    } else if (what == "log") {
        const long long n = number(2);
        check(log.rowCount() == size_t(n), std::to_string(n) + " log rows",
              std::to_string(log.rowCount()));
    } else if (what == "log-row" || what == "log-time") {
        const long long n = number(2);
        const std::string want = joined(w, 3);
        const size_t column = what == "log-row" ? KillLog::KilledAdsColumn : KillLog::TimeColumn;
        const std::string got =
            n >= 1 && size_t(n) <= log.rowCount() ? log.row(size_t(n - 1)).at(column) : "(no row)";
        check(got == want, what + " " + std::to_string(n) + " \"" + want + "\"", "\"" + got + "\"");
    } else if (what == "count") {
        const long long n = number(2);
        check(form_->settings.vtr_count == n, "count " + std::to_string(n),
              std::to_string(form_->settings.vtr_count));
    } else if (what == "allowed-list" || what == "blacklist") {
        const auto& list = what == "allowed-list" ? form_->lists.CleanList : form_->lists.BlackList;
        check(listText(list) == value, what + " " + value, listText(list));
    } else if (what == "sounds") {
        const long long n = number(2);
        check(world_.desktop.sounds.size() == size_t(n), std::to_string(n) + " sounds",
              std::to_string(world_.desktop.sounds.size()));
    } else if (what == "tray") {
        const std::string got = trayName(world_.desktop.trayIcon);
        check(got == value, "tray " + value, got);
    } else if (what == "openers") {
        const long long allowed = number(2);
        const long long banned = number(3);
        const auto& killer = form_->popupKiller;
        check(killer.AllowedOpeners.size() == size_t(allowed) &&
                  killer.BannedOpeners.size() == size_t(banned),
              "openers " + std::to_string(allowed) + " " + std::to_string(banned),
              std::to_string(killer.AllowedOpeners.size()) + " " +
                  std::to_string(killer.BannedOpeners.size()));
    } else if (what == "hotkey") {
        if (w.size() < 4) throw std::invalid_argument("expect hotkey WHICH KEY");
        const auto& keys = world_.desktop.hotKeys;
        auto it = keys.find(hotKeyId(w[2]));
        const std::string got = it == keys.end() ? "none"
                                : it->second.modifiers != HotKeys::kModifiers
                                    ? "other modifiers"
                                    : std::string(1, char(it->second.keyCode));
        check(got == w[3], "hot key " + w[2] + " " + w[3], got);
    } else if (what == "box") {
        if (w.size() < 3) throw std::invalid_argument("expect box WHICH [TEXT]");
        const std::string want = joined(w, 3);
        const std::string& got = keyBox(w[2]);
        check(got == want, "box " + w[2] + " \"" + want + "\"", "\"" + got + "\"");
    } else if (what == "image" || what == "link") {
        if (w.size() < 5) throw std::invalid_argument("expect " + what + " WINDOW INDEX TEXT");
        const auto doc = window(w[2])->document;
        const long long n = number(3);
        const std::string want = joined(w, 4);
        std::string got = "(none)";
        if (doc && what == "image" && size_t(n) < doc->images().size()) {
            got = doc->images()[size_t(n)].src;
        } else if (doc && what == "link" && size_t(n) < doc->links().size()) {
            got = doc->links()[size_t(n)].href;
        }
        check(got == want, what + " " + w[3] + " " + want, got);
    } else if (what == "alt") {
        if (w.size() < 4) throw std::invalid_argument("expect alt WINDOW INDEX [TEXT]");
        const auto doc = window(w[2])->document;
        const long long n = number(3);
        const std::string want = joined(w, 4);
        const std::string got =
            doc && size_t(n) < doc->images().size() ? doc->images()[size_t(n)].alt : "(none)";
        check(got == want, "alt \"" + want + "\"", "\"" + got + "\"");
    } else {
        throw std::invalid_argument("unknown expectation " + what);
    }
}

}  // namespace vantrel::scenario
