// Vantrel's page scripts. The DevTools adapter evaluates this file in an isolated world of the
// frame and then calls one function; the extension calls the same functions in its own
// isolated world through scripting.executeScript. Each function uses nothing but its arguments
// and the page, so that it can be sent as its source text.

// Reads images, links and body markup, and keeps the elements for later writes of `load`.
// The markup is read from a copy of the body in a document of its own, where nothing loads or
// runs. In the copy each image's src and each link's href is replaced by a token, so the place
// of every value in the markup is known; the tokens then give way to the values written as the
// markup writes them. `engineAttribute` holds the address the engine wrote on an image shown
// from a data URL; markup beyond `cap` characters is cut.
function vantrelSnapshot(engineAttribute, cap, load) {
  const images = Array.from(document.images);
  const links = Array.from(document.links);
  globalThis.vantrelElements = {images, links, load};
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
  const within = (place) => place[0] >= 0 && place[0] + place[1] <= cap ? place : [-1, 0];
  return {
    url: location.href,
    images: images.map((img, i) => [shown(img), img.width, img.height, ...within(imagePlace[i])]),
    links: links.map((link, i) => [link.tagName === 'A', escaped(link.getAttribute('href')),
                                   ...within(linkPlace[i])]),
    body: body.length > cap ? body.slice(0, cap) : body,
  };
}

// Applies the writes `ops` in order to the elements the snapshot of `load` kept; false when the
// frame shows another document by now.
function vantrelWrite(ops, engineAttribute, load) {
  const kept = globalThis.vantrelElements;
  if (!kept || kept.load !== load) return false;
  for (const [what, i, value, engine] of ops) {
    const el = what === 'href' ? kept.links[i] : kept.images[i];
    if (!el) continue;
    if (what === 'src') {
      if (engine) el.setAttribute(engineAttribute, engine);
      else el.removeAttribute(engineAttribute);
      el.src = value;
    } else if (what === 'width') el.width = value;
    else if (what === 'height') el.height = value;
    else if (what === 'alt') el.alt = value;
    else if (what === 'href') el.href = value;
  }
  return true;
}
