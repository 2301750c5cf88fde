// Fast classifier against the plain scans over a fuzzed script of list changes and URLs.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/url_classifier.h"

namespace {

// Reads the input as a script: each step is one opcode byte and a text up to the next 0 byte.
class Script {
  public:
    explicit Script(std::string_view data) : data_(data) {}
    bool done() const { return data_.empty(); }
    uint8_t op() {
        const auto c = static_cast<uint8_t>(data_.front());
        data_.remove_prefix(1);
        return c;
    }
    std::string text() {
        const size_t end = data_.find('\0');
        std::string t(data_.substr(0, end));
        data_.remove_prefix(end == std::string_view::npos ? data_.size() : end + 1);
        return t;
    }

  private:
    std::string_view data_;
};

void check(const vantrel::UrlClassifier& c, const std::string& url) {
    if (c.CheckBannedUrl(url) != c.CheckBannedUrlLinear(url)) __builtin_trap();
    if (c.CheckExceptionList(url) != c.CheckExceptionListLinear(url)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantrel;
    Script script(std::string_view(reinterpret_cast<const char*>(data), size));
    DomainList clean;
    DomainList black;
    UrlClassifier classifier(clean, black, "");
    while (!script.done()) {
        const uint8_t op = script.op();
        DomainList& list = op & 1 ? clean : black;
        switch ((op >> 1) % 6) {
            case 0:
                list.insertSorted(script.text());
                break;
            case 1:
                if (list.size() > 0) list.removeAt(script.text().size() % list.size());
                break;
            case 2:
                if (list.size() > 0)
                    list.replaceAt(script.text().size() % list.size(), script.text());
                break;
            case 3:
                classifier.setVendorServerIp(script.text());
                break;
            default:
                check(classifier, script.text());
                break;
        }
    }
    check(classifier, "http://");
    return 0;
}
