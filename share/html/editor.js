// Opens and closes the boxes of the content edit page that the user calls up: a button with
// data-toggle names the box, and data-classes its shown and hidden class names.
document.addEventListener('click', (event) => {
  const opener = event.target.closest('[data-toggle]');
  if (!opener) return;
  const box = document.getElementById(opener.dataset.toggle);
  if (!box) return;
  event.preventDefault();
  const [shown, hidden] = opener.dataset.classes.split(' ');
  box.className = box.className === shown ? hidden : shown;
});
