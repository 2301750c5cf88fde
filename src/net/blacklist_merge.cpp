#include "net/blacklist_merge.h"

#include <algorithm>
#include <unordered_set>

#include "common/text.h"
#include "engine/domain_lists.h"

namespace vantrel {
namespace {

// Up to this many new entries are inserted one by one, which keeps the view's selection; more
// are merged in one step, since each single insertion moves the whole tail of the list.
constexpr size_t kInsertOneByOne = 100;

bool usablePiece(std::string_view piece) {
    if (piece.size() <= 2) return false;
    return std::none_of(piece.begin(), piece.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

void mergeAll(DomainList& list, ListView& view, std::vector<std::string> added) {
    std::vector<std::string> merged = list.entries();
    merged.insert(merged.end(), std::make_move_iterator(added.begin()),
                  std::make_move_iterator(added.end()));
    list.assign(std::move(merged));
    view.clear();
    for (const auto& entry : list.entries()) DomainLists::LVAddString(view, entry);
}

}  // namespace

size_t mergeServerBlacklist(DomainList& list, ListView& view, std::string_view answer) {
    std::unordered_set<std::string> known;
    known.reserve(list.size());
    for (const auto& entry : list.entries()) known.insert(toUpperAscii(entry));

    std::vector<std::string> added;
    size_t start = 0;
    while (true) {
        const size_t end = answer.find('#', start);
        const std::string_view piece = answer.substr(start, end - start);
        if (usablePiece(piece)) {
            std::string entry = std::string(piece) + std::string(kSyncedMark);
            if (known.insert(toUpperAscii(entry)).second) added.push_back(std::move(entry));
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }

    const size_t count = added.size();
    if (count <= kInsertOneByOne) {
        for (auto& entry : added) insertEntry(list, view, std::move(entry));
    } else {
        mergeAll(list, view, std::move(added));
    }
    return count;
}

void markSynced(DomainList& list, const std::vector<std::string>& sent) {
    const std::unordered_set<std::string> sentSet(sent.begin(), sent.end());
    for (size_t i = 0; i < list.size(); ++i) {
        if (sentSet.count(list.at(i))) list.replaceAt(i, list.at(i) + std::string(kSyncedMark));
    }
}

}  // namespace vantrel
