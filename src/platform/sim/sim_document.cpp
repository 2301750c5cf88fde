#include "platform/sim/sim_document.h"

#include <algorithm>
#include <cctype>

#include "common/text.h"

namespace vantrel::sim {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

std::string decodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&#39;", '\''}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool decoded = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size();
                decoded = true;
                break;
            }
        }
        if (!decoded) out += text[i++];
    }
    return out;
}

// Attribute values as a browser serialises them.
std::string escapeAttribute(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
    return out;
}

struct Attribute {
    std::string name;  // lower case
    std::string value;
    bool hasValue = false;
};

// The attributes between the tag name and `end`, the position of the closing ">".
std::vector<Attribute> parseAttributes(std::string_view markup, size_t pos, size_t end) {
    std::vector<Attribute> attributes;
    while (pos < end) {
        while (pos < end && (isSpace(markup[pos]) || markup[pos] == '/')) ++pos;
        const size_t nameStart = pos;
        while (pos < end && !isSpace(markup[pos]) && markup[pos] != '=' && markup[pos] != '/') {
            ++pos;
        }
        if (pos == nameStart) break;
        Attribute attribute{lowerAscii(markup.substr(nameStart, pos - nameStart)), {}, false};
        while (pos < end && isSpace(markup[pos])) ++pos;
        if (pos < end && markup[pos] == '=') {
            ++pos;
            while (pos < end && isSpace(markup[pos])) ++pos;
            attribute.hasValue = true;
            if (pos < end && (markup[pos] == '"' || markup[pos] == '\'')) {
                const char quote = markup[pos++];
                const size_t close = std::min(markup.find(quote, pos), end);
                attribute.value = decodeEntities(markup.substr(pos, close - pos));
                pos = close + 1;
            } else {
                const size_t valueStart = pos;
                while (pos < end && !isSpace(markup[pos])) ++pos;
                attribute.value = decodeEntities(markup.substr(valueStart, pos - valueStart));
            }
        }
        attributes.push_back(std::move(attribute));
    }
    return attributes;
}

// The ">" that ends the tag opened at `pos`, skipping quoted values.
size_t tagEnd(std::string_view markup, size_t pos) {
    char quote = 0;
    for (; pos < markup.size(); ++pos) {
        const char c = markup[pos];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return pos;
        }
    }
    return std::string_view::npos;
}

int numberOr0(const std::string& text) {
    long long value = 0;
    return parseDecimal(text, value) ? int(value) : 0;
}

}  // namespace

SimDocument::SimDocument(std::string_view body) {
    markup_ = "<body>";
    size_t pos = 0;
    while (pos < body.size()) {
        const size_t lt = body.find('<', pos);
        if (lt == std::string_view::npos) {
            markup_.append(body.substr(pos));
            break;
        }
        markup_.append(body.substr(pos, lt - pos));
        size_t nameEnd = lt + 1;
        while (nameEnd < body.size() && std::isalpha(static_cast<unsigned char>(body[nameEnd]))) {
            ++nameEnd;
        }
        const std::string name = lowerAscii(body.substr(lt + 1, nameEnd - lt - 1));
        const bool known = name == "img" || name == "a" || name == "area";
        const size_t gt = known ? tagEnd(body, nameEnd) : std::string_view::npos;
        if (gt == std::string_view::npos) {
            markup_ += '<';
            pos = lt + 1;
            continue;
        }
        Element element{name == "img" ? Kind::Image : Kind::Link, 0, 0, 0, {}};
        Image image;
        Link link{{}, name == "a"};
        bool hasHref = false;
        for (auto& attribute : parseAttributes(body, nameEnd, gt)) {
            if (element.kind == Kind::Image && attribute.name == "src") {
                image.src = attribute.value;
            } else if (element.kind == Kind::Image && attribute.name == "width") {
                image.width = numberOr0(attribute.value);
            } else if (element.kind == Kind::Image && attribute.name == "height") {
                image.height = numberOr0(attribute.value);
            } else if (element.kind == Kind::Image && attribute.name == "alt") {
                image.alt = attribute.value;
                image.hasAlt = true;
            } else if (element.kind == Kind::Link && attribute.name == "href") {
                link.href = attribute.value;
                hasHref = true;
            } else {
                element.extra += ' ' + attribute.name;
                if (attribute.hasValue)
                    element.extra += "=\"" + escapeAttribute(attribute.value) + '"';
            }
        }
        if (element.kind == Kind::Link && !hasHref) {  // a named anchor is no link
            markup_.append(body.substr(lt, gt + 1 - lt));
            pos = gt + 1;
            continue;
        }
        if (element.kind == Kind::Image) {
            element.index = images_.size();
            images_.push_back(std::move(image));
            imageElement_.push_back(elements_.size());
        } else {
            element.index = links_.size();
            links_.push_back(std::move(link));
            linkElement_.push_back(elements_.size());
        }
        element.start = markup_.size();
        const std::string tag = tagOf(element);
        element.length = tag.size();
        markup_ += tag;
        elements_.push_back(std::move(element));
        pos = gt + 1;
    }
    markup_ += "</body>";
}

std::string SimDocument::tagOf(const Element& element) const {
    if (element.kind == Kind::Image) {
        const Image& image = images_[element.index];
        std::string tag = "<img src=\"" + escapeAttribute(image.src) + "\" width=\"" +
                          std::to_string(image.width) + "\" height=\"" +
                          std::to_string(image.height) + '"';
        if (image.hasAlt) tag += " alt=\"" + escapeAttribute(image.alt) + '"';
        return tag + element.extra + '>';
    }
    const Link& link = links_[element.index];
    return std::string(link.anchor ? "<a" : "<area") + " href=\"" + escapeAttribute(link.href) +
           '"' + element.extra + '>';
}

void SimDocument::retag(size_t index) {
    Element& element = elements_[index];
    const std::string tag = tagOf(element);
    if (markup_.compare(element.start, element.length, tag) == 0) return;
    markup_.replace(element.start, element.length, tag);
    const auto delta =
        static_cast<std::ptrdiff_t>(tag.size()) - static_cast<std::ptrdiff_t>(element.length);
    element.length = tag.size();
    for (size_t i = index + 1; i < elements_.size(); ++i) {
        elements_[i].start = size_t(static_cast<std::ptrdiff_t>(elements_[i].start) + delta);
    }
}

void SimDocument::check(DocCall call, size_t index) {
    ++calls_[call];
    if (failing_.count({call, kAnyIndex}) != 0 ||
        (index != kAnyIndex && failing_.count({call, index}) != 0)) {
        throw BrowserError("simulated document failure");
    }
}

void SimDocument::checkImage(DocCall call, size_t index) {
    check(call, index);
    if (index >= images_.size()) throw BrowserError("no image at this index");
}

void SimDocument::checkLink(DocCall call, size_t index) {
    check(call, index);
    if (index >= links_.size()) throw BrowserError("no link at this index");
}

int SimDocument::calls(DocCall call) const {
    auto it = calls_.find(call);
    return it == calls_.end() ? 0 : it->second;
}

size_t SimDocument::imageCount() {
    check(DocCall::ImageCount, kAnyIndex);
    return images_.size();
}

std::string SimDocument::imageSrc(size_t index) {
    checkImage(DocCall::ImageSrc, index);
    return images_[index].src;
}

int SimDocument::imageWidth(size_t index) {
    checkImage(DocCall::ImageWidth, index);
    return images_[index].width;
}

int SimDocument::imageHeight(size_t index) {
    checkImage(DocCall::ImageHeight, index);
    return images_[index].height;
}

void SimDocument::setImageSrc(size_t index, const std::string& src) {
    checkImage(DocCall::SetImageSrc, index);
    images_[index].src = src;
    retag(imageElement_[index]);
}

void SimDocument::setImageWidth(size_t index, int width) {
    checkImage(DocCall::SetImageWidth, index);
    images_[index].width = width;
    retag(imageElement_[index]);
}

void SimDocument::setImageHeight(size_t index, int height) {
    checkImage(DocCall::SetImageHeight, index);
    images_[index].height = height;
    retag(imageElement_[index]);
}

void SimDocument::setImageAlt(size_t index, const std::string& alt) {
    checkImage(DocCall::SetImageAlt, index);
    images_[index].alt = alt;
    images_[index].hasAlt = true;
    retag(imageElement_[index]);
}

size_t SimDocument::linkCount() {
    check(DocCall::LinkCount, kAnyIndex);
    return links_.size();
}

bool SimDocument::linkIsAnchor(size_t index) {
    checkLink(DocCall::LinkIsAnchor, index);
    return links_[index].anchor;
}

std::string SimDocument::linkHref(size_t index) {
    checkLink(DocCall::LinkHref, index);
    if (!links_[index].anchor) throw BrowserError("not an anchor");
    return links_[index].href;
}

void SimDocument::setLinkHref(size_t index, const std::string& href) {
    checkLink(DocCall::SetLinkHref, index);
    if (!links_[index].anchor) throw BrowserError("not an anchor");
    links_[index].href = href;
    retag(linkElement_[index]);
}

std::string SimDocument::bodyOuterHTML() {
    check(DocCall::BodyOuterHTML, kAnyIndex);
    return markup_;
}

}  // namespace vantrel::sim
