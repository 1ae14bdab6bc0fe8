// The designer's controls: every property link carries the part of the page chosen in the
// list, and the colour, font and size chosen in their fields.
'use strict';

(() => {
  const element = document.getElementById('element');

  function valuesOf(link) {
    if (!link.dataset.from) return [link.dataset.value];
    return link.dataset.from.split(' ').map((id) => encodeURIComponent(document.getElementById(id).value));
  }

  function refresh() {
    for (const link of document.querySelectorAll('a[data-command]')) {
      const values = [...valuesOf(link), element.value];
      link.setAttribute('href', `<$${link.dataset.command},${values.join(',')}$>`);
    }
  }

  for (const field of document.querySelectorAll('select, input')) {
    field.addEventListener('change', refresh);
    field.addEventListener('input', refresh);
  }
  refresh();
})();
