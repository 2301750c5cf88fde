#include "programs/vantrel/first_start.h"

#include "firstrun/first_run_sequence.h"
#include "gui/first_run_dialogs.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_temporary_files.h"
#include "platform/posix/user_account.h"
#include "platform/posix/whois_socket_transport.h"
#include "platform/qt/qt_event_loop.h"
#include "resources/embedded_resources.h"

using namespace vantrel;

void runFirstStart(SettingsStore& store, Desktop& desktop) {
    qt::QtEventLoop loop;
    posix::PosixFileSystem files;
    posix::PosixTemporaryFiles temporary;
    posix::WhoisSocketTransport whois(loop);
    const Configuration configuration = store.loadConfiguration();
    const FirstRunConfiguration firstRun = loadFirstRunConfiguration(store);
    const FirstRunPlatform platform{loop,
                                    files,
                                    temporary,
                                    whois,
                                    desktop,
                                    store,
                                    configuration,
                                    firstRun,
                                    posix::accountFullName(),
                                    embeddedResource("INTRO_MOVIE").value_or(std::string_view())};
    gui::QtFirstRunScreens screens;
    firstRunSequence(platform, screens);
}
