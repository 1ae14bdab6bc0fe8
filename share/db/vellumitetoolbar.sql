-- The capture database shared by the editor and the browser add-on's host.
CREATE TABLE captureItems (
    captureID INTEGER PRIMARY KEY AUTOINCREMENT,
    capturetext TEXT COLLATE NOCASE,
    captureURL TEXT COLLATE NOCASE
);
