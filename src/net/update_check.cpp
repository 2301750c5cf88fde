#include "net/update_check.h"

#include <algorithm>

#include "common/text.h"
#include "net/query_encoding.h"
#include "net/self_replacement.h"

namespace vantrel {
namespace {

bool plausibleVersion(std::string_view text) {
    return !text.empty() && text.size() <= UpdateCheck::kMaxVersionSize &&
           std::none_of(text.begin(), text.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte < 0x20 || byte == 0x7f;
           });
}

}  // namespace

UpdateCheck::UpdateCheck(const NetEnvironment& environment, ProgramProcess& process,
                         std::string version, bool enabled)
    : TimerUpdate(environment.loop, kInterval, [this] { TimerUpdateTimer(); }),
      env_(environment),
      process_(process),
      version_(std::move(version)),
      enabled_(enabled),
      transfers_(environment.http) {}

std::string UpdateCheck::question(std::string_view version) {
    return "Version " + std::string(version) + " is available. Do you want to update Vantrel now?";
}

void UpdateCheck::UpdateMIClick() {
    startCheck(false);
}

void UpdateCheck::TimerUpdateTimer() {
    const Settings& settings = env_.settings;
    if (settings.vtr_auto_update == "1" && settings.vtr_update != env_.today()) startCheck(true);
    TimerUpdate.setEnabled(false);
}

void UpdateCheck::startCheck(bool quiet) {
    if (!enabled_) return;
    THTTPGet& transfer =
        transfers_.create(env_.server + kCheckPath + "?version=" + encodeQueryValue(version_));
    transfer.MaxResultSize = kMaxAnswerSize;
    // Each check keeps its own kind, so a quiet check that overlaps a manual one stays quiet.
    transfer.OnDoneString = [this, quiet](THTTPGet& sender, const std::string& response) {
        OnDoneCheckUpdateEvent(sender, quiet, response);
    };
    if (quiet) {
        transfer.OnError = [this](THTTPGet& sender) { transfers_.release(sender); };
    } else {
        transfer.OnError = [this](THTTPGet& sender) { OnErrorUpdateEvent(sender); };
    }
    transfer.GetString();
}

void UpdateCheck::OnDoneCheckUpdateEvent(THTTPGet& sender, bool quiet, const std::string& answer) {
    // One line; the blanks and line breaks that servers put around it are no part of it.
    const std::string response(trimControls(answer));
    // Garbage is a failed check: it must neither be offered nor be stored.
    if (!plausibleVersion(response)) {
        if (quiet) {
            transfers_.release(sender);
        } else {
            OnErrorUpdateEvent(sender);
        }
        return;
    }
    const std::string today = env_.today();
    Settings& settings = env_.settings;
    if (response != kNoVersion && response != settings.vtr_checked_version) {
        const auto reply =
            env_.message(question(response), MessageBoxKind::ConfirmDefaultOk, kQuestionCaption);
        if (reply == MessageBoxAnswer::Ok) {
            startDownload();
        }
    } else if (!quiet) {
        env_.message(kMostRecent, MessageBoxKind::Information);
    }
    settings.vtr_checked_version = response;
    settings.vtr_update = today;
    env_.apply(false);
    transfers_.release(sender);
}

void UpdateCheck::OnErrorUpdateEvent(THTTPGet& sender) {
    env_.message(kConnectionError, MessageBoxKind::Error);
    transfers_.release(sender);
}

void UpdateCheck::startDownload() {
    // One download at a time: two would write the same file.
    if (download_) return;
    THTTPGet& transfer = transfers_.create(env_.server + kDownloadPath);
    transfer.FileName = env_.programFolder + std::string(UpdateFileName);
    transfer.MaxFileSize = kMaxDownloadSize;
    transfer.OnDoneFile = [this](THTTPGet& sender, const std::string&, std::int64_t) {
        OnDoneUpdateEvent(sender);
    };
    transfer.OnError = [this](THTTPGet& sender) { OnErrorDownloadEvent(sender); };
    download_ = &transfer;
    transfer.GetFile();
}

void UpdateCheck::OnDoneUpdateEvent(THTTPGet& sender) {
    download_ = nullptr;
    // Only a program for this machine is put in place, and success is told only once the
    // replacement is under way.
    if (!startSelfReplacement(env_.files, process_, env_.programFolder)) {
        OnErrorUpdateEvent(sender);
        return;
    }
    env_.settings.vtr_update = env_.today();
    env_.message(kUpdated, MessageBoxKind::Information);
    env_.apply(false);
    transfers_.release(sender);
}

void UpdateCheck::OnErrorDownloadEvent(THTTPGet& sender) {
    download_ = nullptr;
    OnErrorUpdateEvent(sender);
}

}  // namespace vantrel
