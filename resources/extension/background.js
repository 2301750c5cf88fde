// Vantrel's extension: the "Kill popup" button, and the browser's windows, tabs, navigations
// and loads reported to the running Vantrel, which answers with what to cancel, close and
// rewrite. The constants above this come from the program; the page script functions
// (vantrelSnapshot, vantrelWrite) from page_scripts.js.

if (typeof importScripts === 'function') importScripts('page_scripts.js');

const api = globalThis.browser ?? globalThis.chrome;
const IS_FIREFOX = api.runtime.getURL('').startsWith('moz-extension:');
// Firefox lets the extension hold a document request until Vantrel has answered; Chromium
// browsers only tell of a navigation that has already left.
const BLOCKING = IS_FIREFOX;

// --- The button: each press sends the program one message.

function press() {
  chrome.runtime.sendNativeMessage(HOST, { command: 'button' }, () => {
    void chrome.runtime.lastError;
  });
}

function addMenuItem() {
  chrome.contextMenus.removeAll(() => {
    chrome.contextMenus.create({ id: MENU_ID, title: MENU_TITLE, contexts: ['all'] },
                               () => void chrome.runtime.lastError);
  });
}

chrome.runtime.onInstalled.addListener(addMenuItem);
chrome.runtime.onStartup.addListener(addMenuItem);
chrome.action.onClicked.addListener(press);
chrome.contextMenus.onClicked.addListener((info) => {
  if (info.menuItemId === MENU_ID) press();
});

// --- Watching: one long-lived port to the host, which relays to the running Vantrel.

const FIRST_RETRY_MS = 1000;
const LAST_RETRY_MS = 60000;
// A navigation Vantrel cancelled after the fact is taken back if it commits within this time.
const CANCEL_KEEP_MS = 10000;
// The longest a request waits for Vantrel's verdict; then it goes on.
const VERDICT_WAIT_MS = 1000;

let port = null;
let watching = false;
let retryMs = FIRST_RETRY_MS;
let connectedAt = 0;
let loads = 0;
const cancelled = new Map();  // "tab/frame": the address Vantrel cancelled there
const committed = new Map();  // "tab/frame": the address it shows
const verdicts = new Map();   // request id: what to do with Vantrel's verdict on it
let unanswered = 0;           // requests that went on without a verdict

function browserVersion() {
  const found = navigator.userAgent.match(IS_FIREFOX ? /Firefox\/([\d.]+)/ : /Chrome\/([\d.]+)/);
  return found ? found[1] : '';
}

// The browser's own name where the Chromium family has several ("Google Chrome", "Brave");
// empty for Chromium itself and for Firefox.
function browserBrand() {
  const brands = navigator.userAgentData?.brands ?? [];
  const own = brands.find((b) => b.brand !== 'Chromium' && !/not.?a.?brand/i.test(b.brand));
  return own ? own.brand.slice(0, 40) : '';
}

function post(message) {
  if (!port || !watching) return;
  try {
    port.postMessage(message);
  } catch (e) {
    // The port went; its disconnect handler connects again.
  }
}

function connect() {
  let opened;
  try {
    opened = api.runtime.connectNative(HOST);
  } catch (e) {
    retryLater();
    return;
  }
  port = opened;
  watching = false;
  connectedAt = Date.now();
  opened.onMessage.addListener(fromVantrel);
  opened.onDisconnect.addListener(() => {
    void api.runtime.lastError;
    if (port !== opened) return;
    port = null;
    watching = false;
    // Requests waiting for a verdict go on.
    for (const decide of verdicts.values()) decide(false);
    retryLater();
  });
  opened.postMessage({ type: 'watch', browser: IS_FIREFOX ? 'firefox' : 'chromium',
                       version: browserVersion(), brand: browserBrand(), blocking: BLOCKING, unanswered });
}

function retryLater() {
  // A port that stayed up for a while starts the waits again from the shortest.
  if (connectedAt && Date.now() - connectedAt > LAST_RETRY_MS) retryMs = FIRST_RETRY_MS;
  setTimeout(connect, retryMs);
  retryMs = Math.min(retryMs * 2, LAST_RETRY_MS);
}

function fromVantrel(message) {
  switch (message.type) {
    case 'watching':
      watching = true;
      reportAll();
      break;
    case 'verdict': {
      const decide = verdicts.get(message.request);
      if (decide) decide(message.cancel);
      break;
    }
    case 'close':
      api.tabs.remove(message.tab).catch(() => {});
      break;
    case 'cancel':
      cancel(message.tab, message.frame, message.url);
      break;
    case 'rules':
      takeRules(message);
      break;
    case 'write':
      api.scripting.executeScript({
        target: { tabId: message.tab, frameIds: [message.frame] },
        func: vantrelWrite,
        args: [message.ops, ENGINE_SRC_ATTRIBUTE, message.load],
      }).catch(() => {});
      break;
  }
}

function reportWindow(window) {
  post({ type: 'window', window: window.id, popup: window.type === 'popup' });
}

function reportTab(tab) {
  post({ type: 'tab', tab: tab.id, window: tab.windowId, url: tab.pendingUrl || tab.url || '' });
}

// Everything open when the port connected, then the window in front.
async function reportAll() {
  const windows = await api.windows.getAll({ populate: true });
  for (const window of windows) {
    reportWindow(window);
    for (const tab of window.tabs || []) {
      reportTab(tab);
      if (tab.active) post({ type: 'active', tab: tab.id, window: window.id });
    }
  }
  const focused = windows.find((window) => window.focused);
  if (focused) post({ type: 'focus', window: focused.id });
}

// The navigation already left: stop it in its frame, and if it commits all the same (or did
// before the verdict came), take the tab back (or close it when it has nothing to go back to).
function cancel(tab, frame, url) {
  const key = tab + '/' + frame;
  if (committed.get(key) === url) {
    takeBack(tab, frame);
    return;
  }
  cancelled.set(key, url);
  setTimeout(() => { if (cancelled.get(key) === url) cancelled.delete(key); }, CANCEL_KEEP_MS);
  api.scripting.executeScript({
    target: { tabId: tab, frameIds: [frame] },
    func: () => window.stop(),
  }).catch(() => {});
}

function takeBack(tab, frame) {
  if (frame !== 0) {
    api.scripting.executeScript({
      target: { tabId: tab, frameIds: [frame] },
      func: () => location.replace('about:blank'),
    }).catch(() => {});
    return;
  }
  api.tabs.goBack(tab).catch(() => api.tabs.remove(tab).catch(() => {}));
}

api.windows.onCreated.addListener(reportWindow);
api.windows.onRemoved.addListener((window) => post({ type: 'windowRemoved', window }));
api.windows.onFocusChanged.addListener((window) => post({ type: 'focus', window }));
api.tabs.onCreated.addListener(reportTab);
api.tabs.onAttached.addListener((tab, info) =>
  post({ type: 'tab', tab, window: info.newWindowId, url: '' }));
api.tabs.onRemoved.addListener((tab) => {
  for (const key of committed.keys()) {
    if (key.startsWith(tab + '/')) committed.delete(key);
  }
  post({ type: 'tabRemoved', tab });
});
api.tabs.onActivated.addListener((info) =>
  post({ type: 'active', tab: info.tabId, window: info.windowId }));
api.webNavigation.onCreatedNavigationTarget.addListener((d) =>
  post({ type: 'opened', tab: d.tabId, source: d.sourceTabId, url: d.url }));
api.webNavigation.onBeforeNavigate.addListener((d) => {
  if (BLOCKING || d.tabId < 0) return;
  post({ type: 'navigate', tab: d.tabId, frame: d.frameId, url: d.url });
});
api.webNavigation.onCommitted.addListener((d) => {
  const key = d.tabId + '/' + d.frameId;
  committed.set(key, d.url);
  if (cancelled.has(key)) {
    const url = cancelled.get(key);
    cancelled.delete(key);
    if (d.url === url) {
      takeBack(d.tabId, d.frameId);
      return;
    }
  }
  post({ type: 'committed', tab: d.tabId, frame: d.frameId, url: d.url });
});
// A request the browser's rules blocked shows the browser's error page in its place, which is
// taken back as a cancelled navigation that committed.
api.webNavigation.onErrorOccurred.addListener((d) => {
  if (!d.error.includes('ERR_BLOCKED_BY_CLIENT')) return;
  const key = d.tabId + '/' + d.frameId;
  committed.set(key, d.url);
  if (cancelled.get(key) !== d.url) return;
  cancelled.delete(key);
  takeBack(d.tabId, d.frameId);
});
api.webNavigation.onCompleted.addListener(async (d) => {
  if (!watching || d.tabId < 0) return;
  const load = ++loads;
  let snapshot = null;
  try {
    const [done] = await api.scripting.executeScript({
      target: { tabId: d.tabId, frameIds: [d.frameId] },
      func: vantrelSnapshot,
      args: [ENGINE_SRC_ATTRIBUTE, BODY_MARKUP_CAP, load],
    });
    snapshot = done && done.result ? done.result : null;
  } catch (e) {
    // A page the extension may not script (the browser's own pages): no document.
  }
  post({ type: 'complete', tab: d.tabId, frame: d.frameId, url: d.url, load, snapshot });
});

// Asks Vantrel about every document request of a tab and holds it until the verdict comes, at
// most VERDICT_WAIT_MS.
function holdForVerdict(d) {
  if (!watching || d.tabId < 0) return {};
  return awaitVerdict({ type: 'navigate', tab: d.tabId, frame: d.frameId, url: d.url },
                      String(d.requestId), VERDICT_WAIT_MS,
                      (cancel) => (cancel ? { cancel: true } : {}));
}

// Sends Vantrel `message` about a held request and resolves with `answer` of its verdict; with
// `answer(false)` when none came within `waitMs`, which is counted as a request let go.
function awaitVerdict(message, request, waitMs, answer) {
  return new Promise((resolve) => {
    const decide = (verdict) => {
      clearTimeout(timer);
      verdicts.delete(request);
      resolve(answer(verdict));
    };
    const timer = setTimeout(() => {
      decide(false);
      post({ type: 'unanswered', count: ++unanswered });
    }, waitMs);
    verdicts.set(request, decide);
    post({ ...message, request });
  });
}

// --- Chromium: Vantrel's lists as the browser's own rules, which stop a document request before
// it leaves. A set comes in several messages: a whole set replaces every rule at its last
// message, a change removes the rules of its ids and adds its rules.

const DOCUMENTS = ['main_frame', 'sub_frame'];
const noRules = () => ({ set: 0, whole: false, remove: [], items: [] });
let rulesSet = noRules();
let rulesApplying = Promise.resolve();
let rulesInForce = 0;

function ruleOf([id, priority, action, match]) {
  const condition = typeof match === 'string'
    ? { urlFilter: match, isUrlFilterCaseSensitive: false, resourceTypes: DOCUMENTS }
    : { requestDomains: match, resourceTypes: DOCUMENTS };
  return { id, priority, action: { type: action }, condition };
}

function takeRules(message) {
  if (message.set !== rulesSet.set) {
    rulesSet = { set: message.set, whole: message.whole, remove: [], items: [] };
  }
  for (const id of message.remove) rulesSet.remove.push(id);
  for (const item of message.rules) rulesSet.items.push(item);
  if (!message.last) return;
  const { set, whole, remove, items } = rulesSet;
  rulesSet = noRules();
  rulesApplying = rulesApplying.then(() => applyRules(set, whole, remove, items.map(ruleOf)));
}

async function applyRules(set, whole, remove, addRules) {
  const started = performance.now();
  let error = '';
  try {
    const removeRuleIds = whole
      ? (await api.declarativeNetRequest.getDynamicRules()).map((rule) => rule.id)
      : remove;
    await api.declarativeNetRequest.updateDynamicRules({ removeRuleIds, addRules });
    rulesInForce = (whole ? 0 : rulesInForce - remove.length) + addRules.length;
  } catch (e) {
    error = String(e && e.message ? e.message : e);
  }
  post({ type: 'rulesApplied', set, count: error ? 0 : rulesInForce,
         ms: Math.round(performance.now() - started), error });
}

// --- Firefox: a page's window.open asks before the browser makes the window (open_guard.js).
// Vantrel's verdict is the answer to the guard's request, which never leaves the browser: sent
// to the refusal file, or failed (the window opens).

// The longest a page waits for Vantrel's verdict on a window it opens; then the window opens.
const OPEN_WAIT_MS = 250;
const OPEN_TOKEN = crypto.randomUUID();

function answerOpening(d) {
  const asked = new URL(d.url).searchParams;
  if (!watching || asked.get('token') !== OPEN_TOKEN) return { cancel: true };
  const message = { type: 'open', tab: Number(asked.get('tab')), frame: Number(asked.get('frame')),
                    url: asked.get('url') ?? '', features: asked.get('features') ?? '' };
  return awaitVerdict(message, String(d.requestId), OPEN_WAIT_MS, (refuse) =>
    (refuse ? { redirectUrl: api.runtime.getURL(REFUSED_FILE) } : { cancel: true }));
}

if (BLOCKING) {
  api.webRequest.onBeforeRequest.addListener(
    holdForVerdict, { urls: ['<all_urls>'], types: ['main_frame', 'sub_frame'] }, ['blocking']);
  api.webRequest.onBeforeRequest.addListener(answerOpening, { urls: [OPEN_QUESTION + '*'] },
                                             ['blocking']);
  api.runtime.onMessage.addListener((message, sender) => {
    if (message?.type !== 'openGuard' || !sender.tab) return undefined;
    return Promise.resolve({ tab: sender.tab.id, frame: sender.frameId, token: OPEN_TOKEN });
  });
}

connect();
