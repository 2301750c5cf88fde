#include "platform/chromium/page_scripts.h"

namespace vantrel::chromium {

std::string snapshotScript() {
    // The markup is read from a copy of the body in a document of its own, where nothing loads
    // or runs. In the copy each image's src and each link's href is replaced by a token, so the
    // place of every value in the markup is known; the tokens then give way to the values
    // written as the markup writes them.
    return R"JS((() => {
  const images = Array.from(document.images);
  const links = Array.from(document.links);
  globalThis.vantrelElements = {images, links};
  const engineAttribute = ')JS" +
           std::string(kEngineSrcAttribute) + R"JS(';
  const shown = (img) => {
    const engine = img.getAttribute(engineAttribute);
    return engine !== null && img.src.startsWith('data:') ? engine : img.src;
  };
  const written = (img) => {
    const engine = img.getAttribute(engineAttribute);
    return engine !== null && img.src.startsWith('data:') ? engine : img.getAttribute('src');
  };
  const inert = document.implementation.createHTMLDocument('');
  const escaped = (value) => {
    const b = inert.createElement('b');
    b.setAttribute('x', value);
    const html = b.outerHTML;
    return html.slice(6, html.length - 6);
  };
  const imagePlace = images.map(() => [-1, 0]);
  const linkPlace = links.map(() => [-1, 0]);
  let body = '';
  if (document.body) {
    const copy = inert.importNode(document.body, true);
    const selector = 'img, a, area';
    const originals = document.body.querySelectorAll(selector);
    const copies = copy.querySelectorAll(selector);
    const copyOf = new Map();
    originals.forEach((element, i) => copyOf.set(element, copies[i]));
    const token = 'vtr' + Math.random().toString(36).slice(2) + 'q';
    const values = new Map();
    images.forEach((img, i) => {
      const c = copyOf.get(img);
      if (!c) return;
      c.removeAttribute(engineAttribute);
      if (written(img) === null) return;
      c.setAttribute('src', token + 'i' + i + 'z');
      values.set('i' + i, written(img));
    });
    links.forEach((link, i) => {
      const c = copyOf.get(link);
      if (!c) return;
      c.setAttribute('href', token + 'l' + i + 'z');
      values.set('l' + i, link.getAttribute('href'));
    });
    const raw = copy.outerHTML;
    const pattern = new RegExp(token + '([il][0-9]+)z', 'g');
    let last = 0;
    for (let m; (m = pattern.exec(raw)) !== null;) {
      const value = escaped(values.get(m[1]));
      body += raw.slice(last, m.index);
      const place = [body.length, value.length];
      const i = Number(m[1].slice(1));
      if (m[1][0] === 'i') imagePlace[i] = place; else linkPlace[i] = place;
      body += value;
      last = m.index + m[0].length;
    }
    body += raw.slice(last);
  }
  const cap = )JS" +
           std::to_string(kBodyMarkupCap) + R"JS(;
  const within = (place) => place[0] >= 0 && place[0] + place[1] <= cap ? place : [-1, 0];
  return {
    url: location.href,
    images: images.map((img, i) => [shown(img), img.width, img.height, ...within(imagePlace[i])]),
    links: links.map((link, i) => [link.tagName === 'A', escaped(link.getAttribute('href')),
                                   ...within(linkPlace[i])]),
    body: body.length > cap ? body.slice(0, cap) : body,
  };
})())JS";
}

std::string popUpShapeScript() {
    // Measured on this Chromium: 35 px above the page in a pop-up window, 87 to 91 px in a
    // tabbed one; a tab behind another reads 0 and is hidden.
    return "document.visibilityState === 'visible' && window.outerHeight - window.innerHeight "
           "< 60";
}

std::string focusScript() {
    return std::string(R"JS((() => {
  if (window !== window.top || globalThis.vantrelFocusInstalled) return;
  globalThis.vantrelFocusInstalled = true;
  const binding = globalThis[')JS") +
           kFocusBinding + R"JS('];
  let last = null;
  const report = () => {
    const now = document.hasFocus() ? '1' : '0';
    if (now === last) return;
    last = now;
    try { binding(now); } catch (e) {}
  };
  window.addEventListener('focus', report, true);
  window.addEventListener('blur', report, true);
  document.addEventListener('visibilitychange', report);
  report();
})())JS";
}

DocumentSnapshot parseSnapshot(const Json& value) {
    DocumentSnapshot snapshot;
    if (!value.is_object()) return snapshot;
    auto text = [](const Json& j) { return j.is_string() ? j.get<std::string>() : std::string(); };
    auto number = [](const Json& j) { return j.is_number() ? j.get<int>() : 0; };
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

std::string writeScript(const std::vector<PageWrite>& writes) {
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
    return R"JS(((ops) => {
  const kept = globalThis.vantrelElements;
  if (!kept) return false;
  for (const [what, i, value, engine] of ops) {
    const el = what === 'href' ? kept.links[i] : kept.images[i];
    if (!el) continue;
    if (what === 'src') {
      if (engine) el.setAttribute(')JS" +
           std::string(kEngineSrcAttribute) + R"JS(', engine);
      else el.removeAttribute(')JS" +
           std::string(kEngineSrcAttribute) + R"JS(');
      el.src = value;
    } else if (what === 'width') el.width = value;
    else if (what === 'height') el.height = value;
    else if (what === 'alt') el.alt = value;
    else if (what === 'href') el.href = value;
  }
  return true;
})()JS" + ops.dump(-1, ' ', false, Json::error_handler_t::replace) +
           ")";
}

}  // namespace vantrel::chromium
