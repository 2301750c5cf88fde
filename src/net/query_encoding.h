#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// A value for an address's query, byte for byte: letters, digits and ! $ ' ( ) * - . @ _ as they
// are, a space as "+", every other byte as "%" and two lower-case hexadecimal digits.
std::string encodeQueryValue(std::string_view value);

}  // namespace vantrel
