// The page work of the band: finding terms in the document and its same-origin frames,
// marking each occurrence with a background colour, and removing every mark at once. Marks
// are inline elements around the found text, so the page's text stays as it was.
(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  const MARK = 'vellumite-mark';
  const SKIPPED = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'TEXTAREA', 'SELECT', 'OPTION']);
  const WORD = '[\\p{L}\\p{N}_]';
  const OCCURRENCES_PER_SLICE = 500;

  let pass = 0; // moved on by "clear": a marking still running stops

  // The document and the documents of its frames that we may reach, nested frames included.
  function documents(doc = document, found = []) {
    found.push(doc);
    for (const frame of doc.querySelectorAll('iframe, frame')) {
      let inner = null;
      try { inner = frame.contentDocument; } catch (e) { /* another site's frame */ }
      if (inner && inner.body) documents(inner, found);
    }
    return found;
  }

  function pattern(term, wholeWord) {
    const words = term.trim().split(/\s+/).map((w) => w.replace(/[.*+?^${}()|[\]\\/-]/g, '\\$&'));
    const body = words.join('\\s+');
    return new RegExp(wholeWord ? `(?<!${WORD})(?:${body})(?!${WORD})` : body, 'giu');
  }

  // The text of the document's body as one string, with where each text node starts in it.
  function flatText(doc) {
    const nodes = [];
    const starts = [];
    let text = '';
    // Text being edited is left alone: a mark there would end up in what is saved.
    if (!doc.body || doc.designMode === 'on') return { nodes, starts, text };
    const walker = doc.createTreeWalker(doc.body, NodeFilter.SHOW_TEXT, {
      acceptNode(node) {
        if (node.parentElement?.isContentEditable) return NodeFilter.FILTER_REJECT;
        for (let p = node.parentElement; p && p !== doc.body; p = p.parentElement) {
          if (SKIPPED.has(p.tagName)) return NodeFilter.FILTER_REJECT;
        }
        return NodeFilter.FILTER_ACCEPT;
      },
    });
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      nodes.push(node);
      starts.push(text.length);
      text += node.data;
    }
    return { nodes, starts, text };
  }

  function matches(flat, regex) {
    const found = [];
    regex.lastIndex = 0;
    for (let m = regex.exec(flat.text); m; m = regex.exec(flat.text)) {
      if (m[0].length === 0) { regex.lastIndex += 1; continue; } // never stall on an empty match
      found.push([m.index, m.index + m[0].length]);
    }
    return found;
  }

  // Wraps the characters [from, to) of the flat text, node by node.
  function wrap(doc, flat, from, to, colour) {
    for (let i = flat.nodes.length - 1; i >= 0; i -= 1) {
      const start = flat.starts[i];
      const node = flat.nodes[i];
      const end = start + node.data.length;
      if (end <= from || start >= to || !node.parentNode) continue;
      let piece = node;
      const a = Math.max(from, start) - start;
      const b = Math.min(to, end) - start;
      if (b < piece.data.length) piece.splitText(b);
      if (a > 0) piece = piece.splitText(a);
      const mark = doc.createElement(MARK);
      mark.setAttribute('style', `all: unset; background-color: ${colour};`);
      piece.parentNode.replaceChild(mark, piece);
      mark.appendChild(piece);
    }
  }

  async function mark({ term, wholeWord, colour }) {
    const mine = pass;
    const regex = pattern(term, wholeWord);
    let count = 0;
    for (const doc of documents()) {
      const flat = flatText(doc);
      const found = matches(flat, regex);
      // Last first, so that splitting a text node leaves the earlier offsets in it valid.
      for (let k = found.length - 1; k >= 0; k -= 1) {
        wrap(doc, flat, found[k][0], found[k][1], colour);
        count += 1;
        if (count % OCCURRENCES_PER_SLICE === 0) {
          await new Promise((resolve) => setTimeout(resolve));
          if (pass !== mine) return { count: 0, interrupted: true };
        }
      }
    }
    return { count, interrupted: pass !== mine };
  }

  function find({ term, wholeWord }) {
    const regex = pattern(term, wholeWord);
    return { found: documents().some((doc) => matches(flatText(doc), regex).length > 0) };
  }

  // Every mark goes, and each text node that was split for it is whole again.
  function clear() {
    pass += 1;
    for (const doc of documents()) {
      for (const mark of doc.querySelectorAll(MARK)) {
        const parent = mark.parentNode;
        const first = mark.firstChild;
        while (mark.firstChild) parent.insertBefore(mark.firstChild, mark);
        parent.removeChild(mark);
        join(first);
      }
    }
    return { cleared: true };
  }

  function join(node) {
    if (!node || node.nodeType !== Node.TEXT_NODE) return;
    let head = node;
    while (head.previousSibling && head.previousSibling.nodeType === Node.TEXT_NODE) head = head.previousSibling;
    while (head.nextSibling && head.nextSibling.nodeType === Node.TEXT_NODE) {
      head.appendData(head.nextSibling.data);
      head.parentNode.removeChild(head.nextSibling);
    }
  }

  api.runtime.onMessage.addListener((message, sender, reply) => {
    if (sender.id !== api.runtime.id) return false;
    if (message.op === 'mark') {
      mark(message).then(reply, (e) => reply({ count: 0, interrupted: false, error: String(e) }));
      return true;
    }
    if (message.op === 'find') reply(find(message));
    else if (message.op === 'clear') reply(clear());
    return false;
  });

  function complete() {
    api.runtime.sendMessage({ type: 'documentComplete' }).catch(() => {});
  }
  if (document.readyState === 'complete') complete();
  else window.addEventListener('load', complete, { once: true });
  // A page shown again from the back-forward cache is a page shown anew.
  window.addEventListener('pageshow', (e) => { if (e.persisted) complete(); });
})();
