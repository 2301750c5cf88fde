#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

// Options and bookkeeping values that outlive a run. Flags are "1" or "0", dates "yyyy-mm-dd".
struct Settings {
    std::string killpop;
    std::string killurl;
    std::string killbanner;
    std::string killimage;
    std::string autostart;
    std::string enhotcut;
    std::string automin;
    std::string killidle;
    std::string killlevel;
    std::string is_blinked;
    std::string is_sound;
    std::string vtr_sound;
    std::string vtr_key;
    std::string vtr_bkey;
    std::string vtr_slevel;
    std::string vtr_snlevel;
    std::string vtr_banner;
    std::string vtr_update;
    std::string vtr_auto_update;
    std::string vtr_checked_version;
    std::string vtr_bldate;
    std::string vtr_cldate;
    std::string vtr_getdate;
    std::int32_t vtr_count = 0;

    // Not saved by SaveSettings: only the start-up writes it.
    std::string vtr_first;
};

// The key code a hot-key field stands for: the text as a decimal number, 65 when it is empty or
// not a whole decimal number.
int HotKeyCode(std::string_view text);

// The text as a whole decimal number within the 32-bit range; `fallback` for anything else.
std::int32_t decimalOr(std::string_view text, std::int32_t fallback);

// Values the program reads at start-up and never writes; each has a default when missing.
struct Configuration {
    std::string vtr_home = "http://vantrel.example/";   // HomePageUrl
    std::string vtr_server = "http://vantrel.example";  // vendor server base, http://host[:port]
    std::string vtr_server_ip;                          // empty: no address exemption
    std::string vtr_version = "P202";  // the running program's version, told to the update check
    std::string vtr_browser;  // empty: start the browser; else a DevTools endpoint to attach to
    std::string vtr_browser_cmd = "chromium";  // the command that starts the browser
};

}  // namespace vantrel
