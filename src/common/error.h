#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

// A failure the user is told about: a store or file that cannot be used. The message names the
// file.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantrel
