#include "engine/domain_lists.h"
#include "platform/posix/posix_file_system.h"
#include "programs/vantrelctl/command.h"

namespace vantrelctl {
namespace {

int runAdd(const Args& args) {
    rejectUnknownOptions(args);
    if (args.size() < 2) throw UsageError("needs a list FILE and at least one TEXT");
    vantrel::posix::PosixFileSystem files;
    vantrel::DomainList list;
    vantrel::ListView view;
    vantrel::ListFile file{files, args[0], list, view};
    // The program treats an unreadable list as missing; here that would overwrite it.
    if (!file.load() && files.exists(file.path)) {
        throw UsageError("cannot read list file \"" + file.path + "\"");
    }
    for (size_t i = 1; i < args.size(); ++i) file.addUrl(args[i]);
    return 0;
}

const Registration registration("add", {"add FILE TEXT...",
                                        "add the domain of each TEXT to the list file FILE as the "
                                        "list pages do (a missing FILE starts empty)",
                                        runAdd});

}  // namespace
}  // namespace vantrelctl
