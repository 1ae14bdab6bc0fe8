// The shell page's agent: applies the editor's operations to the panes, in order, and answers.
'use strict';

(() => {
  const base = location.pathname.replace(/(index\.html)?$/, '');
  const panesEl = document.getElementById('panes');
  const formsEl = document.getElementById('forms');
  const modalEl = document.getElementById('modal');
  const noticeEl = document.getElementById('notice');
  const captionEl = document.getElementById('caption');
  const LOAD_TIMEOUT = 15000;

  let channel = 0;
  let superseded = false;
  const panes = new Map(); // name -> { frame, seq }
  const modals = [];       // open modal requests, newest last
  const forms = new Map(); // name -> { el, model }
  const saved = new Map(); // saved selections
  let nextSaved = 1;

  // ---- Talking to the editor

  let sending = Promise.resolve();
  // Events go out one at a time, so the editor sees them in the order they happened.
  function post(event) {
    event.channel = channel;
    const body = JSON.stringify(event);
    sending = sending.then(() => fetch(base + 'event', {
      method: 'POST', body, headers: { 'Content-Type': 'application/json' }, cache: 'no-store',
    })).catch(() => {});
    return sending;
  }

  let working = Promise.resolve();
  function enqueue(op) {
    working = working.then(() => apply(op)).catch((err) => {
      if (op.op === 'dom' && !op.read) post({ type: 'error', message: String(err && err.message || err) });
    });
  }

  async function connect() {
    for (;;) {
      try {
        const response = await fetch(base + 'channel', { method: 'POST', cache: 'no-store' });
        if (!response.ok || !response.body) throw new Error('refused');
        showNotice('');
        const reader = response.body.getReader();
        const decoder = new TextDecoder();
        let buffer = '';
        for (;;) {
          const { value, done } = await reader.read();
          if (done) break;
          buffer += decoder.decode(value, { stream: true });
          let nl;
          while ((nl = buffer.indexOf('\n')) >= 0) {
            const line = buffer.slice(0, nl);
            buffer = buffer.slice(nl + 1);
            if (line) enqueue(JSON.parse(line));
          }
        }
      } catch (e) {
        // fall through to the retry
      }
      if (superseded) return;
      showNotice('The editor has stopped or is restarting. Trying again…');
      await sleep(1500);
    }
  }

  function sleep(ms) { return new Promise((r) => setTimeout(r, ms)); }

  function showNotice(text) {
    noticeEl.hidden = !text;
    document.getElementById('notice-text').textContent = text;
  }

  // ---- Panes and frames

  function pane(name) {
    let p = panes.get(name);
    if (!p) {
      const frame = document.createElement('iframe');
      frame.name = name;
      frame.title = name;
      frame.addEventListener('load', () => hookTree(frame.contentWindow));
      panesEl.appendChild(frame);
      p = { frame, seq: 0 };
      panes.set(name, p);
    }
    return p;
  }

  function frameWindow(paneName, path) {
    let win = pane(paneName).frame.contentWindow;
    for (const index of path) {
      const next = win && win.frames[index];
      if (!next) throw new Error(`The page in ${paneName} has no frame ${index}.`);
      win = next;
    }
    return win;
  }

  function waitForLoad(target) {
    return new Promise((resolve) => {
      const done = () => { clearTimeout(timer); target.removeEventListener('load', done); resolve(); };
      const timer = setTimeout(done, LOAD_TIMEOUT);
      target.addEventListener('load', done);
    });
  }

  function hrefOf(win) {
    try { return win.location.href; } catch (e) { return ''; }
  }

  // Loads `url` into a pane (path empty) or one of its frames, without adding to the history.
  async function load(paneName, path, url) {
    if (path.length === 0) {
      const frame = pane(paneName).frame;
      const loaded = waitForLoad(frame);
      try { frame.contentWindow.location.replace(url); } catch (e) { frame.src = url; }
      await loaded;
      return;
    }
    const win = frameWindow(paneName, path);
    const element = win.frameElement;
    const loaded = element ? waitForLoad(element) : sleep(50);
    win.location.replace(url);
    await loaded;
  }

  async function loadPane(name, state) {
    const p = pane(name);
    if (state.url) {
      await load(name, [], state.url);
      for (const f of state.frames || []) {
        try { await load(name, f.frames, f.url); } catch (e) { /* the page has no such frame */ }
      }
    }
    p.seq = state.seq;
    post({ type: 'loaded', pane: name, seq: state.seq, top: !!state.url, url: hrefOf(p.frame.contentWindow) });
  }

  function setOrder(order) {
    order.forEach((name, i) => { pane(name).frame.style.zIndex = String(i + 1); });
    const front = order[order.length - 1];
    for (const [name, p] of panes) p.frame.setAttribute('aria-hidden', name === front ? 'false' : 'true');
  }

  function setCaption(text) {
    document.title = text;
    captionEl.textContent = text;
  }

  // Remembers the text field last used in each document, for the selection tools: clicking a
  // link in the page takes the focus away from the field but leaves its selection.
  function hookTree(win) {
    try {
      const doc = win.document;
      if (!doc.__vellumiteHooked) {
        doc.__vellumiteHooked = true;
        doc.addEventListener('focusin', (e) => {
          const t = e.target;
          if (t && (t.tagName === 'TEXTAREA' || (t.tagName === 'INPUT' && /^(text|search|url|email)$/i.test(t.type)))) {
            doc.__vellumiteField = t;
          }
        });
      }
      for (let i = 0; i < win.frames.length; i++) {
        const child = win.frames[i];
        if (child.frameElement && !child.frameElement.__vellumiteHooked) {
          child.frameElement.__vellumiteHooked = true;
          child.frameElement.addEventListener('load', () => hookTree(child));
        }
        hookTree(child);
      }
    } catch (e) { /* another origin: nothing to remember */ }
  }

  // ---- Document operations

  function findForm(doc, ref) {
    const form = typeof ref === 'number' ? doc.forms[ref] : (doc.forms.namedItem(ref) || doc.getElementById(ref));
    if (!form || form.tagName !== 'FORM') {
      throw new Error(typeof ref === 'number' ? `The page has no form number ${ref}.` : `The page has no form "${ref}".`);
    }
    return form;
  }

  function findField(doc, args) {
    const form = findForm(doc, args.form);
    let field = form.elements.namedItem(args.field);
    if (field && !field.tagName && field.length) field = field[0];
    if (!field) throw new Error(`The form "${args.form}" has no field "${args.field}".`);
    return field;
  }

  function findElement(doc, name) {
    const el = doc.getElementById(name) || doc.getElementsByName(name)[0];
    if (!el) throw new Error(`The page has no element "${name}".`);
    return el;
  }

  function allElements(doc, name) {
    const list = [...doc.getElementsByName(name)];
    const byId = doc.getElementById(name);
    if (byId && !list.includes(byId)) list.unshift(byId);
    if (list.length === 0) throw new Error(`The page has no element "${name}".`);
    return list;
  }

  function cssName(property) {
    return property.includes('-') ? property : property.replace(/[A-Z]/g, (c) => '-' + c.toLowerCase());
  }

  function selectionOf(doc) {
    const field = doc.__vellumiteField;
    if (field && field.isConnected && field.selectionEnd > field.selectionStart) {
      return { field, start: field.selectionStart, end: field.selectionEnd };
    }
    const sel = doc.getSelection();
    if (sel && sel.rangeCount > 0 && !sel.isCollapsed) return { range: sel.getRangeAt(0).cloneRange() };
    if (field && field.isConnected) return { field, start: field.selectionStart || 0, end: field.selectionEnd || 0 };
    return null;
  }

  function selectionText(s) {
    if (!s) return { text: '', parentName: '' };
    if (s.field) return { text: s.field.value.slice(s.start, s.end), parentName: s.field.name || '' };
    let node = s.range.commonAncestorContainer;
    if (node.nodeType !== 1) node = node.parentElement;
    return { text: s.range.toString(), parentName: (node && node.getAttribute('name')) || '' };
  }

  function replaceIn(s, text) {
    if (!s) throw new Error('Nothing is selected.');
    if (s.field) {
      s.field.setRangeText(text, s.start, s.end, 'select');
      return;
    }
    const doc = s.range.startContainer.ownerDocument;
    s.range.deleteContents();
    const node = doc.createTextNode(text);
    s.range.insertNode(node);
    const sel = doc.getSelection();
    const r = doc.createRange();
    r.selectNode(node);
    sel.removeAllRanges();
    sel.addRange(r);
  }

  const domOps = {
    getValue: (doc, a) => findField(doc, a).value,
    setValue: (doc, a) => { findField(doc, a).value = a.value; },
    getChecked: (doc, a) => !!findField(doc, a).checked,
    setChecked: (doc, a) => { findField(doc, a).checked = !!a.checked; },
    formElements: (doc, a) => [...findForm(doc, a.form).elements].map((e) => ({
      name: e.name || '', type: e.type || e.tagName.toLowerCase(), value: e.value || '', checked: !!e.checked,
    })),
    resetForm: (doc, a) => { findForm(doc, a.form).reset(); },
    formCount: (doc) => doc.forms.length,
    hasElement: (doc, a) => !!(doc.getElementById(a.element) || doc.getElementsByName(a.element)[0]),
    setClass: (doc, a) => { findElement(doc, a.element).className = a.value; },
    setText: (doc, a) => { findElement(doc, a.element).textContent = a.value; },
    setHtml: (doc, a) => { findElement(doc, a.element).innerHTML = a.value; },
    setAttribute: (doc, a) => { for (const el of allElements(doc, a.element)) el.setAttribute(a.attribute, a.value); },
    setBodyHtml: (doc, a) => { doc.body.innerHTML = a.value; },
    scrollIntoView: (doc, a) => { findElement(doc, a.element).scrollIntoView({ block: 'nearest' }); },
    focus: (doc, a) => { findElement(doc, a.element).focus(); },
    getSelection: (doc) => selectionText(selectionOf(doc)),
    replaceSelection: (doc, a) => replaceIn(selectionOf(doc), a.value),
    saveSelection: (doc) => { const id = nextSaved++; saved.set(id, selectionOf(doc)); return id; },
    replaceSavedSelection: (doc, a) => {
      const s = saved.get(a.saved);
      saved.delete(a.saved);
      replaceIn(s, a.value);
    },
    setStyleRule: (doc, a) => {
      const sheet = doc.styleSheets[a.sheet];
      const rule = sheet && sheet.cssRules[a.rule];
      if (!rule) throw new Error(`The page has no style rule ${a.sheet}/${a.rule}.`);
      rule.style.setProperty(cssName(a.property), a.value);
    },
    styleSheetText: (doc, a) => {
      const sheet = doc.styleSheets[a.sheet];
      if (!sheet) throw new Error(`The page has no style sheet ${a.sheet}.`);
      return [...sheet.cssRules].map((r) => r.cssText).join('\n');
    },
  };

  // ---- One text field's selection, by position (the post box's formatting tools)

  // Line breaks compared without regard to their form: the editor reads them as CR LF.
  function sameText(a, b) {
    const plain = (t) => String(t).replace(/\r\n?/g, '\n');
    return plain(a) === plain(b);
  }

  function fieldSelection(doc, a) {
    const field = findField(doc, a);
    const start = field.selectionStart || 0;
    const end = field.selectionEnd || 0;
    return { text: field.value.slice(start, end), start, end };
  }

  function replaceFieldRange(doc, a) {
    const field = findField(doc, a);
    if (!sameText(field.value.slice(a.start, a.end), a.expected)) {
      throw new Error(`The text of "${a.field}" changed while it was being edited; nothing was replaced.`);
    }
    field.setRangeText(a.value, a.start, a.end, 'select');
    field.focus({ preventScroll: true });
  }

  function appendFieldText(doc, a) {
    const field = findField(doc, a);
    const { selectionStart, selectionEnd } = field;
    field.setRangeText(a.value, field.value.length, field.value.length, 'preserve');
    field.setSelectionRange(selectionStart, selectionEnd);
  }

  Object.assign(domOps, { fieldSelection, replaceFieldRange, appendFieldText });

  async function dom(op) {
    const p = pane(op.pane);
    // An operation on a page that is still loading waits for it, as the editor's pages are
    // always written and shown before they are changed.
    if (p.loading) await p.loading;
    const win = frameWindow(op.pane, op.frames);
    hookTree(win);
    const fn = domOps[op.name];
    if (!fn) throw new Error(`unknown page operation ${op.name}`);
    return fn(win.document, op.args || {});
  }

  // ---- Modal dialogs

  function renderModal() {
    modalEl.replaceChildren();
    const m = modals[modals.length - 1];
    modalEl.hidden = !m;
    if (!m) return;
    const box = document.createElement('div');
    box.className = 'modal';
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-modal', 'true');
    const title = document.createElement('h2');
    title.textContent = m.title || 'Vellumite';
    box.appendChild(title);
    let input = null;
    if (m.kind === 'file') {
      const p = document.createElement('p');
      p.textContent = 'Type the full path of the file.';
      box.appendChild(p);
    } else {
      const p = document.createElement('p');
      p.textContent = m.text || '';
      box.appendChild(p);
    }
    if (m.kind === 'input' || m.kind === 'file') {
      const wrap = document.createElement('div');
      wrap.className = 'field';
      input = document.createElement('input');
      input.type = m.masked ? 'password' : 'text';
      input.value = m.initial || '';
      input.setAttribute('aria-label', m.kind === 'file' ? 'File' : (m.text || 'Answer'));
      wrap.appendChild(input);
      box.appendChild(wrap);
      if (m.kind === 'file' && m.text) {
        const hint = document.createElement('div');
        hint.className = 'hint';
        hint.textContent = m.text;
        box.appendChild(hint);
      }
    }
    const buttons = document.createElement('div');
    buttons.className = 'buttons';
    const answer = (result) => {
      const i = modals.indexOf(m);
      if (i >= 0) modals.splice(i, 1);
      renderModal();
      post({ type: 'modal', id: m.id, result });
    };
    const button = (label, result, primary) => {
      const b = document.createElement('button');
      b.className = 'action' + (primary ? ' primary' : '');
      b.textContent = label;
      b.dataset.result = label;
      b.addEventListener('click', () => answer(typeof result === 'function' ? result() : result));
      buttons.appendChild(b);
      return b;
    };
    let first;
    if (m.kind === 'message' && m.buttons === 'yesno') {
      first = button('Yes', 'yes', true);
      button('No', 'no', false);
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer('no'); });
    } else if (m.kind === 'message') {
      first = button('OK', 'ok', true);
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer('ok'); });
    } else {
      button('OK', () => ({ ok: true, text: input.value }), true);
      button('Cancel', { ok: false }, false);
      input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') answer({ ok: true, text: input.value });
      });
      box.addEventListener('keydown', (e) => { if (e.key === 'Escape') answer({ ok: false }); });
      first = input;
    }
    box.appendChild(buttons);
    modalEl.appendChild(box);
    first.focus();
  }

  // ---- Floating windows (forms)

  let cascade = 0;
  function renderForm(model) {
    let f = forms.get(model.name);
    if (!f) {
      const el = document.createElement('section');
      el.className = 'form-window';
      el.dataset.form = model.name;
      el.setAttribute('role', 'dialog');
      const offset = 60 + (cascade++ % 6) * 28;
      el.style.left = offset + 'px';
      el.style.top = offset / 2 + 'px';
      formsEl.appendChild(el);
      f = { el, model };
      forms.set(model.name, f);
    }
    f.model = model;
    const { el } = f;
    el.replaceChildren();
    el.classList.toggle('topmost', !!model.topMost);
    el.hidden = !model.visible;
    el.setAttribute('aria-label', model.caption);

    const title = document.createElement('div');
    title.className = 'form-title';
    const caption = document.createElement('span');
    caption.textContent = model.caption;
    const close = document.createElement('button');
    close.className = 'form-close';
    close.setAttribute('aria-label', 'Close');
    close.textContent = '×';
    close.addEventListener('click', () => {
      el.hidden = true;
      post({ type: 'form', form: model.name, control: '', event: 'close', props: {}, argument: '' });
    });
    title.append(caption, close);
    makeDraggable(el, title);
    el.appendChild(title);

    const body = document.createElement('div');
    body.className = 'form-body';
    let row = null;
    let rowKey;
    for (const c of model.controls) {
      const key = c.props.row;
      if (!row || key === undefined || key !== rowKey) {
        row = document.createElement('div');
        row.className = 'form-row';
        body.appendChild(row);
        rowKey = key;
      }
      row.appendChild(renderControl(model.name, c));
    }
    el.appendChild(body);
  }

  function send(formName, control, event, props, argument) {
    post({ type: 'form', form: formName, control, event, props: props || {}, argument: argument || '' });
  }

  function renderControl(formName, c) {
    const p = c.props;
    let el;
    switch (c.kind) {
      case 'text':
      case 'password': {
        el = document.createElement('input');
        el.type = c.kind === 'password' ? 'password' : 'text';
        el.value = p.text || '';
        el.addEventListener('input', () => send(formName, c.name, 'change', { text: el.value }));
        if (p.label) el.setAttribute('aria-label', p.label);
        break;
      }
      case 'combo': {
        el = document.createElement('input');
        el.type = 'text';
        el.value = p.text || '';
        const list = document.createElement('datalist');
        list.id = `${formName}-${c.name}-list`;
        for (const item of p.items || []) {
          const o = document.createElement('option');
          o.value = item;
          list.appendChild(o);
        }
        el.setAttribute('list', list.id);
        el.addEventListener('input', () => send(formName, c.name, 'change', { text: el.value }));
        const wrap = document.createElement('span');
        wrap.append(el, list);
        wrap.dataset.control = c.name;
        applyCommon(wrap, p);
        el.disabled = p.enabled === false;
        return wrap;
      }
      case 'checkbox': {
        el = document.createElement('label');
        const box = document.createElement('input');
        box.type = 'checkbox';
        box.checked = !!p.checked;
        box.disabled = p.enabled === false;
        box.addEventListener('change', () => send(formName, c.name, 'click', { checked: box.checked }));
        el.append(box, document.createTextNode(' ' + (p.text || '')));
        break;
      }
      case 'button':
        el = document.createElement('button');
        el.className = 'action' + (p.primary ? ' primary' : '');
        el.textContent = p.text || '';
        el.addEventListener('click', () => send(formName, c.name, 'click'));
        break;
      case 'link':
        el = document.createElement('a');
        el.href = '#';
        el.textContent = p.text || '';
        el.addEventListener('click', (e) => { e.preventDefault(); send(formName, c.name, 'click'); });
        break;
      case 'progress':
        el = document.createElement('progress');
        el.max = 100;
        el.value = Number(p.value) || 0;
        break;
      case 'browser':
        el = document.createElement('iframe');
        el.name = `${formName}.${c.name}`;
        if (p.address) el.src = p.address;
        break;
      default:
        el = document.createElement('span');
        el.textContent = p.text || '';
    }
    el.dataset.control = c.name;
    applyCommon(el, p);
    return el;
  }

  function applyCommon(el, p) {
    el.hidden = p.visible === false;
    if (p.enabled === false && 'disabled' in el) el.disabled = true;
    if (p.enabled === false) el.setAttribute('aria-disabled', 'true');
    if (p.width) el.style.width = p.width + 'em';
  }

  function makeDraggable(win, handle) {
    handle.addEventListener('pointerdown', (e) => {
      if (e.target.closest('button')) return;
      const startX = e.clientX - win.offsetLeft;
      const startY = e.clientY - win.offsetTop;
      handle.setPointerCapture(e.pointerId);
      const move = (ev) => {
        win.style.left = Math.max(0, ev.clientX - startX) + 'px';
        win.style.top = Math.max(0, ev.clientY - startY) + 'px';
      };
      const up = () => {
        handle.removeEventListener('pointermove', move);
        handle.removeEventListener('pointerup', up);
      };
      handle.addEventListener('pointermove', move);
      handle.addEventListener('pointerup', up);
    });
  }

  function setFormProperty(op) {
    const f = forms.get(op.form);
    if (!f) return;
    const control = f.model.controls.find((c) => c.name === op.control);
    if (!control) return;
    control.props[op.property] = op.value;
    // Redraw only that control, so a field being typed in elsewhere keeps its focus.
    const old = f.el.querySelector(`[data-control="${CSS.escape(op.control)}"]`);
    if (old) old.replaceWith(renderControl(op.form, control));
  }

  // ---- Applying the editor's operations

  async function apply(op) {
    switch (op.op) {
      case 'sync': {
        channel = op.channel;
        setCaption(op.caption);
        for (const name of op.order) pane(name);
        setOrder(op.order);
        for (const f of op.forms) renderForm(f);
        for (const [name, f] of forms) if (!op.forms.some((m) => m.name === name)) { f.el.remove(); forms.delete(name); }
        modals.length = 0;
        modals.push(...op.modals);
        renderModal();
        await Promise.all(Object.entries(op.panes).map(([name, state]) => loadPane(name, state)));
        break;
      }
      case 'navigate': {
        const p = pane(op.pane);
        const done = load(op.pane, op.frames, op.url);
        p.loading = done;
        try {
          await done;
        } catch (e) {
          // A frame the page does not have: said, and the pane is not left busy for ever.
          post({ type: 'error', message: String(e && e.message || e) });
        } finally {
          if (p.loading === done) p.loading = null;
        }
        p.seq = op.seq;
        post({ type: 'loaded', pane: op.pane, seq: op.seq, top: op.frames.length === 0, url: hrefOf(p.frame.contentWindow) });
        break;
      }
      case 'order':
        setOrder(op.order);
        break;
      case 'caption':
        setCaption(op.text);
        break;
      case 'dom': {
        if (op.read) {
          let reply;
          try {
            reply = { type: 'reply', id: op.id, ok: true, value: await dom(op) };
          } catch (e) {
            reply = { type: 'reply', id: op.id, ok: false, error: String(e && e.message || e) };
          }
          post(reply);
        } else {
          await dom(op);
        }
        break;
      }
      case 'modal':
        modals.push(op);
        renderModal();
        break;
      case 'modalClose': {
        const i = modals.findIndex((m) => m.id === op.id);
        if (i >= 0) { modals.splice(i, 1); renderModal(); }
        break;
      }
      case 'openWindow': {
        const w = window.open(op.url, op.name);
        if (w && /^https?:/i.test(op.url) && !op.keepOpener) { try { w.opener = null; } catch (e) { /* gone */ } }
        break;
      }
      case 'form':
        renderForm(op.form);
        break;
      case 'formSet':
        setFormProperty(op);
        break;
      case 'formCaption': {
        const f = forms.get(op.form);
        if (f) { f.model.caption = op.caption; renderForm(f.model); }
        break;
      }
      case 'formHide': {
        const f = forms.get(op.form);
        if (f) { f.model.visible = false; f.el.hidden = true; }
        break;
      }
      case 'formUnload': {
        const f = forms.get(op.form);
        if (f) { f.el.remove(); forms.delete(op.form); }
        break;
      }
      case 'superseded':
        superseded = true;
        showNotice('The editor is open in another browser tab or window. Use that one.');
        break;
      default:
        break;
    }
  }

  connect();
})();
