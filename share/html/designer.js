// The designer's controls: every property link carries the part of the page chosen in the
// list, and the colour, font and size chosen in their fields.
'use strict';

(() => {
  const element = document.getElementById('element');
  const colours = [['white', '#ffffff'], ['ivory', '#fbf6ee'], ['sand', '#efe4d2'], ['mist', '#e8f0fe'],
    ['mint', '#e6f4ea'], ['blush', '#fce8e6'], ['slate', '#5d6470'], ['charcoal', '#1f2328'],
    ['navy', '#1a3d7c'], ['forest', '#1e6b3a'], ['brick', '#a34a28'], ['plum', '#6b2d6b'],
    ['gold', '#c99a2e'], ['blue', '#2f6feb'], ['black', '#000000'], ['none', 'transparent']];

  // The same swatches for background, text and border: each palette names its command.
  for (const palette of document.querySelectorAll('.palette[data-command]')) {
    for (const [name, colour] of colours) {
      const swatch = document.createElement('a');
      swatch.className = 'swatch';
      swatch.dataset.command = palette.dataset.command;
      swatch.dataset.value = encodeURIComponent(colour);
      swatch.title = name;
      swatch.setAttribute('aria-label', name);
      swatch.style.setProperty('--swatch', colour);
      palette.append(swatch);
    }
  }

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
