#include "platform/chromium/page_scripts.h"

#include <nlohmann/json.hpp>

namespace vantrel::chromium {

namespace {

// The page scripts, then a call of one of them. The snapshot's elements are kept in the
// isolated world it was read in, which only that document has, so the load number is 0.
std::string callPageScript(const std::string& function, const std::string& firstArgument,
                           const std::string& secondArgument) {
    return std::string(page::pageScriptsSource()) + "\n" + function + "(" + firstArgument + ", " +
           secondArgument + ", 0)";
}

std::string engineAttribute() {
    return nlohmann::json(page::kEngineSrcAttribute).dump();
}

}  // namespace

std::string snapshotScript() {
    return callPageScript("vantrelSnapshot", engineAttribute(),
                          std::to_string(page::kBodyMarkupCap));
}

std::string writeScript(const std::vector<page::PageWrite>& writes) {
    const auto ops =
        page::writeOps(writes).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return callPageScript("vantrelWrite", ops, engineAttribute());
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
  // In a new document of the window in front, document.hasFocus() reads false at the start and
  // sometimes still after the focus event: a focus event alone tells that the page has the focus,
  // and a new document says nothing until it has one or hasFocus() says so.
  const report = (event) => {
    const now = event?.type === 'focus' || document.hasFocus() ? '1' : '0';
    if (now === last) return;
    last = now;
    try { binding(now); } catch (e) {}
  };
  window.addEventListener('focus', report, true);
  window.addEventListener('blur', report, true);
  document.addEventListener('visibilitychange', report);
  if (document.hasFocus()) report();
})())JS";
}

}  // namespace vantrel::chromium
