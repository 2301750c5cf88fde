// Firefox: a page's window.open asks Vantrel before the browser makes the window, which takes
// Firefox some hundreds of milliseconds for a pop-up window. A window Vantrel would close as soon
// as it opened is then never made: the page gets null, as from the browser's own pop-up blocker.
// The question is a synchronous request to OPEN_QUESTION, which the extension's background script
// answers itself (it never leaves the browser): a redirect to its file holding REFUSED_ANSWER
// when Vantrel refuses the window, and an error otherwise, or when Vantrel is not watching or slow
// to answer. The browser does not say which tab a content script's request comes from, so the
// background script tells each frame its tab and frame first, with a token that pages cannot
// read, which keeps them from asking themselves.
// Chromium offers no such answer (its extensions cannot hold a request); its pop-ups are closed
// when they open.

(() => {
  if (typeof exportFunction !== 'function' || !window.wrappedJSObject) return;
  const page = window.wrappedJSObject;
  const pageOpen = page.open;
  const SAME_WINDOW = new Set(['_self', '_parent', '_top']);
  let asker = null;  // { tab, frame, token }
  browser.runtime.sendMessage({ type: 'openGuard' }).then((a) => { asker = a; }, () => {});

  function refused(url, features) {
    if (!asker) return false;
    const question = new XMLHttpRequest();
    const { tab, frame, token } = asker;
    question.open('GET', OPEN_QUESTION + '?' +
                  new URLSearchParams({ tab, frame, token, url, features }), false);
    question.send();
    return question.responseText === REFUSED_ANSWER;
  }

  function open(url, target, features) {
    const name = target === undefined ? '' : String(target);
    if (!SAME_WINDOW.has(name.toLowerCase())) {
      try {
        const address = url === undefined || url === '' ? 'about:blank'
                                                        : new URL(String(url), document.baseURI).href;
        if (refused(address, features === undefined ? '' : String(features))) return null;
      } catch (e) {
        // No answer (Vantrel is not watching, or the address is none): the browser decides.
      }
    }
    return pageOpen.call(page, url, target, features);
  }

  exportFunction(open, page, { defineAs: 'open' });
})();
