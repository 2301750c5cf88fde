#include "platform/posix/user_account.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace vantrel::posix {

std::string accountFullName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || entry.pw_gecos == nullptr) {
        return {};
    }
    return entry.pw_gecos;
}

}  // namespace vantrel::posix
