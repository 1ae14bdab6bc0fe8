// Added to the web service's resource manager page as the editor shows it. The page runs in an
// opaque origin of its own; this script only turns a click on one of its three command links
// into a request that carries the page's values, which the editor checks before using them.
'use strict';

(() => {
  const COMMANDS = ['<delete>', '<import>', '<setTimes>'];
  const script = document.currentScript;
  const service = script ? script.dataset.service : '';

  function commandOf(link) {
    const raw = link.getAttribute('href') || '';
    let text = raw;
    try { text = decodeURIComponent(raw); } catch (e) { /* keep it as written */ }
    return COMMANDS.find((c) => text.includes(c) || raw.includes(c));
  }

  // The values the editor reads: the first form's first two elements (user name, password),
  // every checked box after them in page order, the times and the user's id.
  function pageValues(command) {
    const values = [];
    const add = (name, value) => values.push(`${name}=${encodeURIComponent(value == null ? '' : value)}`);
    const first = document.forms[0];
    if (first) {
      const elements = Array.from(first.elements);
      add('user', elements[0] ? elements[0].value : '');
      add('password', elements[1] ? elements[1].value : '');
      for (const e of elements.slice(2)) if (e.type === 'checkbox' && e.checked) add('item', e.value);
    }
    if (command === '<setTimes>') {
      const times = document.forms.namedItem('timesettings');
      const manager = document.forms.namedItem('manager');
      add('days', times && times.elements.namedItem('days') ? times.elements.namedItem('days').value : '');
      add('total', times && times.elements.namedItem('total') ? times.elements.namedItem('total').value : '');
      add('userid', manager && manager.elements.namedItem('userid') ? manager.elements.namedItem('userid').value : '');
    }
    return values.join('&');
  }

  document.addEventListener('click', (event) => {
    const link = event.target instanceof Element ? event.target.closest('a[href]') : null;
    const command = link && commandOf(link);
    if (!command) return;
    event.preventDefault();
    if (command === '<import>') {
      const note = document.getElementById('webimport') || document.getElementsByName('webimport')[0];
      if (note) note.textContent = `Please wait while your selections are imported from ${service}.`;
    }
    // Answered with "no content": the page stays as it is.
    const target = new URL(encodeURIComponent(command), location.href);
    location.href = `${target.href.split('?')[0]}?${pageValues(command)}`;
  }, true);
})();
