#pragma once

#include <memory>
#include <string>

#include "platform/chromium/chromium_shell.h"
#include "platform/file_system.h"
#include "platform/webext/browser_extension.h"

namespace vantrel {

// The browser button of the desktop program: a browser Vantrel starts (`options`) loads the
// extension from the program folder and gets a host manifest in its profile; the browsers
// this user has get theirs too.
std::unique_ptr<webext::BrowserExtension> setUpBrowserButton(FileSystem& files,
                                                             const std::string& programFolder,
                                                             const std::string& executable,
                                                             chromium::ChromiumOptions& options);

}  // namespace vantrel
