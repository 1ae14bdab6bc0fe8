-- The site database. Names match without regard to case; text compares without regard to
-- case, as stored names and titles have always been compared. Booleans hold -1 (True) or 0.
-- Dates are 'YYYY-MM-DD', times 'HH:MM:SS' (24 h), so they order correctly as text.

CREATE TABLE VellumiteLog (
    LogID INTEGER PRIMARY KEY AUTOINCREMENT,
    LogTitle TEXT COLLATE NOCASE,
    displayTitle TEXT COLLATE NOCASE,
    webBarTitle TEXT COLLATE NOCASE,
    password TEXT COLLATE NOCASE,
    ftpusername TEXT COLLATE NOCASE,
    ftppassword TEXT COLLATE NOCASE,
    ftplocation TEXT COLLATE NOCASE,
    ftppath TEXT COLLATE NOCASE,
    ftppassive INTEGER DEFAULT 0,
    pageurl TEXT COLLATE NOCASE,
    recentpostnum INTEGER,
    CopyrightNotice TEXT COLLATE NOCASE,
    postperpage INTEGER,
    TotalPublishPosts INTEGER,
    PublishBackwards INTEGER DEFAULT 0,
    contactemail TEXT COLLATE NOCASE,
    contactmetext TEXT COLLATE NOCASE,
    categorytitle TEXT COLLATE NOCASE,
    highlightTitle TEXT COLLATE NOCASE,
    LinkTitle TEXT COLLATE NOCASE,
    logsearchterms TEXT COLLATE NOCASE,
    showDate INTEGER DEFAULT 0,
    advertiseHighlights INTEGER DEFAULT 0,
    LogServerID INTEGER,
    UseDesignerTemplate INTEGER,
    TemplatedHTML TEXT COLLATE NOCASE,
    numberthispage INTEGER,
    PublishedPages INTEGER,
    Publishandupload TEXT COLLATE NOCASE,
    linkslist TEXT COLLATE NOCASE,
    Resourceusername TEXT COLLATE NOCASE,
    Resourcepassword TEXT COLLATE NOCASE,
    rememberdetails INTEGER DEFAULT 0,
    lastnewsimport TEXT COLLATE NOCASE
);

CREATE TABLE VellumitePosts (
    postID INTEGER PRIMARY KEY AUTOINCREMENT,
    LogID INTEGER,
    posttitle TEXT COLLATE NOCASE,
    postbyline TEXT COLLATE NOCASE,
    posttext TEXT COLLATE NOCASE,
    postdate TEXT,
    posttime TEXT,
    PublishPage INTEGER,
    boolDisplayInViewRecent INTEGER DEFAULT 0,
    imagestats TEXT COLLATE NOCASE,
    Category TEXT COLLATE NOCASE,
    categoryID INTEGER
);
-- A site's posts in publishing order. The editor's lists (sets of published posts, drafts,
-- highlights, links to posts) filter, count and show rows from this index alone, so a site of
-- thousands of posts does not read every body to list ten titles.
CREATE INDEX VellumitePostsByLog ON VellumitePosts
    (LogID, postdate, posttime, postID, PublishPage, boolDisplayInViewRecent, posttitle, postbyline);

CREATE TABLE VellumiteLinks (
    linkID INTEGER PRIMARY KEY AUTOINCREMENT,
    LogID INTEGER,
    linktext TEXT COLLATE NOCASE,
    linkurl TEXT COLLATE NOCASE,
    newwindow INTEGER DEFAULT 0
);
CREATE INDEX VellumiteLinksByLog ON VellumiteLinks (LogID);

CREATE TABLE VellumiteCategory (
    categoryID INTEGER PRIMARY KEY AUTOINCREMENT,
    LogID INTEGER,
    categoryname TEXT COLLATE NOCASE
);
CREATE INDEX VellumiteCategoryByLog ON VellumiteCategory (LogID);

CREATE TABLE VellumiteUserTemplate (
    templateID INTEGER PRIMARY KEY AUTOINCREMENT,
    templatename TEXT COLLATE NOCASE,
    htmltext TEXT COLLATE NOCASE,
    cssText TEXT COLLATE NOCASE,
    bIsDesigner INTEGER DEFAULT 0
);

CREATE TABLE VellumiteImages (
    LogID INTEGER,
    imagepath TEXT COLLATE NOCASE,
    imageheight INTEGER,
    imagewidth INTEGER,
    imagealttext TEXT COLLATE NOCASE
);
CREATE INDEX VellumiteImagesByLog ON VellumiteImages (LogID);

CREATE TABLE vellumitenewsfeeds (
    alertid INTEGER PRIMARY KEY AUTOINCREMENT,
    LogID INTEGER,
    title TEXT COLLATE NOCASE,
    body TEXT COLLATE NOCASE,
    url TEXT COLLATE NOCASE,
    site_name TEXT COLLATE NOCASE,
    site_url TEXT COLLATE NOCASE
);
CREATE INDEX vellumitenewsfeedsByLog ON vellumitenewsfeeds (LogID);
