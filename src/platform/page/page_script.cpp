#include "platform/page/page_script.h"

#include "resources/embedded_resources.h"

namespace vantrel::page {

using Json = nlohmann::json;

std::string_view pageScriptsSource() {
    return embeddedResource("PAGE_SCRIPTS").value_or("");
}

DocumentSnapshot parseSnapshot(const Json& value) {
    DocumentSnapshot snapshot;
    if (!value.is_object()) return snapshot;
    auto text = [](const Json& j) { return j.is_string() ? j.get<std::string>() : std::string(); };
    // A size out of an int's range (never one the page script reports) reads as 0.
    auto number = [](const Json& j) {
        if (!j.is_number()) return 0;
        const double size = j.get<double>();
        return size >= -2147483648.0 && size <= 2147483647.0 ? int(size) : 0;
    };
    snapshot.url = text(value.value("url", Json()));
    snapshot.bodyOuterHTML = text(value.value("body", Json()));
    // Where a value stands in the markup; none when the place is not within it.
    auto place = [&](const Json& item, size_t at) {
        DocumentSnapshot::Place p;
        if (item.size() < at + 2 || !item[at].is_number_integer() ||
            !item[at + 1].is_number_integer() || item[at].get<long long>() < 0) {
            return p;
        }
        const auto start = item[at].get<unsigned long long>();
        const auto length = item[at + 1].get<unsigned long long>();
        if (start > snapshot.bodyOuterHTML.size() ||
            length > snapshot.bodyOuterHTML.size() - start) {
            return p;
        }
        p.start = size_t(start);
        p.length = size_t(length);
        return p;
    };
    if (auto images = value.find("images"); images != value.end() && images->is_array()) {
        for (const auto& img : *images) {
            if (!img.is_array() || img.size() < 3) continue;
            snapshot.images.push_back(
                {text(img[0]), number(img[1]), number(img[2]), place(img, 3)});
        }
    }
    if (auto links = value.find("links"); links != value.end() && links->is_array()) {
        for (const auto& link : *links) {
            if (!link.is_array() || link.size() < 2) continue;
            snapshot.links.push_back(
                {link[0].is_boolean() && link[0].get<bool>(), text(link[1]), place(link, 2)});
        }
    }
    return snapshot;
}

std::string escapeAttribute(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '&') {
            out += "&amp;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '\xC2' && i + 1 < value.size() && value[i + 1] == '\xA0') {
            out += "&nbsp;";
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

Json writeOps(const std::vector<PageWrite>& writes) {
    Json ops = Json::array();
    for (const auto& w : writes) {
        switch (w.kind) {
            case PageWrite::Kind::ImageSrc:
                ops.push_back({"src", w.index, w.text, w.engineSrc});
                break;
            case PageWrite::Kind::ImageWidth:
                ops.push_back({"width", w.index, w.number});
                break;
            case PageWrite::Kind::ImageHeight:
                ops.push_back({"height", w.index, w.number});
                break;
            case PageWrite::Kind::ImageAlt:
                ops.push_back({"alt", w.index, w.text});
                break;
            case PageWrite::Kind::LinkHref:
                ops.push_back({"href", w.index, w.text});
                break;
        }
    }
    return ops;
}

}  // namespace vantrel::page
