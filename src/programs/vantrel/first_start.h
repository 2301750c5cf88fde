#pragma once

#include "platform/desktop.h"
#include "settings/settings_store.h"

// The first start's screens on the real platform: WHOIS over TCP, the movie in $TMPDIR, the
// user's name from the account database.
void runFirstStart(vantrel::SettingsStore& store, vantrel::Desktop& desktop);
