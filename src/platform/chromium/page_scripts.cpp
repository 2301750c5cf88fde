#include "platform/chromium/page_scripts.h"

namespace vantrel::chromium {

std::string snapshotScript() {
    return R"JS((() => {
  const images = Array.from(document.images);
  const links = Array.from(document.links);
  globalThis.vantrelElements = {images, links};
  const body = document.body ? document.body.outerHTML : '';
  const shown = (img) => {
    const engine = img.getAttribute(')JS" +
           std::string(kEngineSrcAttribute) + R"JS(');
    return engine !== null && img.src.startsWith('data:') ? engine : img.src;
  };
  return {
    url: location.href,
    toolbar: window.toolbar.visible,
    menubar: window.menubar.visible,
    images: images.map((img) => [shown(img), img.width, img.height]),
    links: links.map((link) => [link.tagName === 'A', link.href]),
    body: body.length > )JS" +
           std::to_string(kBodyMarkupCap) + R"JS( ? body.slice(0, )JS" +
           std::to_string(kBodyMarkupCap) + R"JS() : body,
  };
})())JS";
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
    snapshot.toolbarVisible = value.value("toolbar", true);
    snapshot.menubarVisible = value.value("menubar", true);
    snapshot.bodyOuterHTML = text(value.value("body", Json()));
    if (auto images = value.find("images"); images != value.end() && images->is_array()) {
        for (const auto& img : *images) {
            if (!img.is_array() || img.size() != 3) continue;
            snapshot.images.push_back({text(img[0]), number(img[1]), number(img[2])});
        }
    }
    if (auto links = value.find("links"); links != value.end() && links->is_array()) {
        for (const auto& link : *links) {
            if (!link.is_array() || link.size() != 2) continue;
            snapshot.links.push_back({link[0].is_boolean() && link[0].get<bool>(), text(link[1])});
        }
    }
    return snapshot;
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
