#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/domain_list.h"
#include "engine/list_view.h"

namespace vantrel {

// Adds the domains of a blacklist answer from the vendor server ("#" between domains, nothing
// trimmed) to the list as synced entries, each with its row in the view at the entry's index.
// A piece is skipped when it is 1 or 2 bytes long, holds a control character (it would break the
// line-based list file), or the list already holds it with the synced mark in any letter case.
// Returns how many entries were added.
size_t mergeServerBlacklist(DomainList& list, ListView& view, std::string_view answer);

// Gives every entry of `list` whose text is one of `sent` the synced mark; an entry that has been
// removed meanwhile is simply not found.
void markSynced(DomainList& list, const std::vector<std::string>& sent);

}  // namespace vantrel
