#include "net/transfers.h"

#include <algorithm>

namespace vantrel {

THTTPGet& Transfers::create(std::string url) {
    auto transfer = std::make_unique<THTTPGet>(http_);
    transfer->URL = std::move(url);
    // The vendor's scripts have always been asked with this accept entry.
    transfer->AcceptTypes = "GET";
    transfer->UseCache = false;
    items_.push_back(std::move(transfer));
    return *items_.back();
}

void Transfers::release(THTTPGet& transfer) {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const auto& item) { return item.get() == &transfer; });
    if (found != items_.end()) items_.erase(found);
}

}  // namespace vantrel
