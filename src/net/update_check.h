#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/timer.h"
#include "net/net_environment.h"
#include "net/transfers.h"
#include "platform/program_process.h"

namespace vantrel {

// Asks the vendor server whether a newer version exists, on demand or once a day; offers it,
// downloads it beside the running program and has it put in place once the user has ended the
// program.
class UpdateCheck {
  public:
    static constexpr EventLoop::Millis kInterval = 100000;
    static constexpr const char* kCheckPath = "/vtr/check_update.php";
    static constexpr const char* kDownloadPath = "/vtr/update/vantrel.exe";
    static constexpr const char* kNoVersion = "NONE";
    static constexpr const char* kQuestionCaption = "Vantrel Update";
    static constexpr const char* kMostRecent =
        "You have the most recent version of Vantrel. No update is available.";
    static constexpr const char* kConnectionError = "Server connection error!";
    static constexpr const char* kUpdated = "Updated successfully. Please restart Vantrel";
    // A longer answer is no version text but a fault of the server.
    static constexpr size_t kMaxVersionSize = 64;
    // Not even read beyond this: blanks around a version never come to this much.
    static constexpr std::int64_t kMaxAnswerSize = 4096;
    // A larger download is refused before its body is read: no program is that big.
    static constexpr std::int64_t kMaxDownloadSize = 64 * 1024 * 1024;

    // `version` is the running program's version text, sent with every check. A check that is
    // not `enabled` never asks the server, whatever its timer and the tray item do.
    UpdateCheck(const NetEnvironment& environment, ProgramProcess& process, std::string version,
                bool enabled = true);

    // Tray item "Check for &updates": a check that reports its outcome.
    void UpdateMIClick();
    // A quiet check when automatic checking is on and no check has completed today; fires once
    // per enabling in any case.
    void TimerUpdateTimer();

    // Disabled at first; enabled while automatic checking is on (start-up, apply operation).
    Timer TimerUpdate;

    static std::string question(std::string_view version);

  private:
    void startCheck(bool quiet);
    void OnDoneCheckUpdateEvent(THTTPGet& sender, bool quiet, const std::string& answer);
    void OnErrorUpdateEvent(THTTPGet& sender);
    void startDownload();
    void OnDoneUpdateEvent(THTTPGet& sender);
    void OnErrorDownloadEvent(THTTPGet& sender);

    NetEnvironment env_;
    ProgramProcess& process_;
    std::string version_;
    bool enabled_;
    Transfers transfers_;
    THTTPGet* download_ = nullptr;  // while the update is being downloaded
};

}  // namespace vantrel
