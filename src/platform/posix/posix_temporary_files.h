#pragma once

#include "platform/temporary_files.h"

namespace vantrel::posix {

// Temporary files in $TMPDIR (or /tmp), created with mkstemps: a random name, made by this call
// alone (a name that exists already is never reused), mode 0600.
class PosixTemporaryFiles : public TemporaryFiles {
  public:
    std::string createTemporaryFile(std::string_view data, std::string_view suffix) override;
};

}  // namespace vantrel::posix
