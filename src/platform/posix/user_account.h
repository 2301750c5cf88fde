#pragma once

#include <string>

namespace vantrel::posix {

// The full-name field (GECOS) of the running user's account; empty when there is none.
std::string accountFullName();

}  // namespace vantrel::posix
