#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Files that exist only for a while, in the system's temporary folder.
class TemporaryFiles {
  public:
    virtual ~TemporaryFiles() = default;
    // A new file holding `data`, named so that no other user can predict or create it first,
    // readable by this user only; its name ends with `suffix`. Throws Error when it cannot be
    // written (and leaves nothing behind).
    virtual std::string createTemporaryFile(std::string_view data, std::string_view suffix) = 0;
};

}  // namespace vantrel
