#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/http_get.h"

namespace vantrel {

// The transfer objects of one kind of exchange with the vendor server: each is made for one
// request and released by whichever of its completion handlers runs. Whatever is still running
// when the set goes away is aborted without any event.
class Transfers {
  public:
    explicit Transfers(HttpTransport& http) : http_(http) {}

    // A new transfer of `url` that asks for no cached copy; its owner sets the events and starts
    // it.
    THTTPGet& create(std::string url);
    // Destroys the transfer; call it last in a completion handler.
    void release(THTTPGet& transfer);
    size_t count() const { return items_.size(); }

  private:
    HttpTransport& http_;
    std::vector<std::unique_ptr<THTTPGet>> items_;
};

}  // namespace vantrel
