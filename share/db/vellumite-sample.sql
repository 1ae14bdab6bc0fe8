-- The sample site shown on first start: a short guide written as posts, with links,
-- categories and a user template of its own.

INSERT INTO VellumiteUserTemplate (templateID, templatename, htmltext, cssText, bIsDesigner) VALUES (1, 'Welcome', '<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title><$VellumitePageTitle$></title>
<$VellumiteSearchTerms$>
<style>
  :root { --ink: #1f2a33; --muted: #6b7780; --accent: #2f6f8f; --paper: #fbfaf7; --rule: #e4e0d8; }
  * { box-sizing: border-box; }
  body { margin: 0; background: var(--paper); color: var(--ink);
         font: 17px/1.65 Georgia, "Iowan Old Style", "Palatino Linotype", serif; }
  a { color: var(--accent); text-decoration-thickness: 1px; text-underline-offset: 2px; }
  header.masthead { border-bottom: 1px solid var(--rule); background: #fff; }
  header.masthead .inner { max-width: 1040px; margin: 0 auto; padding: 40px 24px 28px; }
  header.masthead h1 { margin: 0; font-size: 2.3rem; font-weight: normal; letter-spacing: 0.01em; }
  header.masthead nav { margin-top: 8px; font: 14px/1.4 system-ui, sans-serif; color: var(--muted); }
  .page { max-width: 1040px; margin: 0 auto; padding: 32px 24px 48px;
          display: grid; grid-template-columns: minmax(0, 1fr) 260px; gap: 48px; }
  article.post { padding-bottom: 28px; margin-bottom: 32px; border-bottom: 1px solid var(--rule); }
  article.post h2 { margin: 0 0 4px; font-size: 1.55rem; font-weight: normal; line-height: 1.25; }
  article.post .byline { margin: 0 0 16px; font: 14px/1.4 system-ui, sans-serif; color: var(--muted); }
  article.post .body img { max-width: 100%; height: auto; }
  .pager { font: 14px/1.8 system-ui, sans-serif; color: var(--muted); }
  .pager a { margin: 0 2px; }
  aside section { margin-bottom: 32px; font: 15px/1.5 system-ui, sans-serif; }
  aside h3 { margin: 0 0 10px; font-size: 12px; letter-spacing: 0.12em; text-transform: uppercase;
             color: var(--muted); }
  aside ul { list-style: none; margin: 0; padding: 0; }
  aside li { padding: 4px 0; border-bottom: 1px dotted var(--rule); }
  footer { border-top: 1px solid var(--rule); color: var(--muted);
           font: 13px/1.5 system-ui, sans-serif; }
  footer .inner { max-width: 1040px; margin: 0 auto; padding: 20px 24px; }
  @media (max-width: 760px) { .page { grid-template-columns: 1fr; gap: 16px; } }
</style>
</head>
<body>
<header class="masthead">
  <div class="inner">
    <h1><$VellumiteLogTitle$></h1>
    <nav><$DisplayMode$></nav>
  </div>
</header>
<div class="page">
  <main>
<VellumitePostBlock>
    <article class="post" id="<$VellumitePostID$>">
      <h2><$VellumitePostTitle$></h2>
      <p class="byline"><$VellumitePostByline$> &middot; <$VellumitePostDateStamp$></p>
      <div class="body"><$VellumiteImage$><$VellumitePostBody$></div>
    </article>
</VellumitePostBlock>
    <p class="pager"><$Startblock$> <$PrevSet$> <$midblocks$> <$NextSet$> <$Endblock$></p>
  </main>
  <aside>
    <section>
      <h3><$HighlightTitle$></h3>
      <ul>
<UserHighlightList>
        <li><$HighlightText$></li>
</UserHighlightList>
      </ul>
    </section>
    <section>
      <h3><$CategoryTitle$></h3>
      <ul>
<UserCategoryList>
        <li><$Category$></li>
</UserCategoryList>
      </ul>
    </section>
    <section>
      <h3><$LinkTitle$></h3>
      <ul>
<UserLinkList>
        <li><$LinkText$></li>
</UserLinkList>
      </ul>
    </section>
    <section>
      <h3><$VellumiteContactMe$></h3>
      <a href="mailto:<$VellumiteContactEmail$>"><$VellumiteContactEmail$></a>
    </section>
  </aside>
</div>
<footer><div class="inner"><$copyright$></div></footer>
</body>
</html>
', '', 0);
INSERT INTO VellumiteLog (LogID, LogTitle, displayTitle, webBarTitle, password, ftpusername, ftppassword, ftplocation, ftppath, ftppassive, pageurl, recentpostnum, CopyrightNotice, postperpage, TotalPublishPosts, PublishBackwards, contactemail, contactmetext, categorytitle, highlightTitle, LinkTitle, logsearchterms, showDate, advertiseHighlights, LogServerID, UseDesignerTemplate, TemplatedHTML, numberthispage, PublishedPages, Publishandupload, linkslist, rememberdetails)
VALUES (1, 'Welcome to Vellumite', 'Welcome to Vellumite', 'Welcome to Vellumite', '', '', '', '', '', -1, 'http://', 10, 'The Vellumite team', 10, 20, 0, 'you@example.org', 'Write to me', 'Categories', 'Highlights', 'Links', 'weblog, vellumite, sample', -1, 0, 0, 1, '', 5, 1, '~1~,~1~,~1~,~1~,~1~,', '', 0);
INSERT INTO VellumiteCategory (categoryID, LogID, categoryname) VALUES (1, 1, 'Getting started');
INSERT INTO VellumiteCategory (categoryID, LogID, categoryname) VALUES (2, 1, 'Publishing');
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Welcome to Vellumite', 'The Vellumite team', 'Vellumite keeps your weblog on your own computer and builds it into a plain, fast website that you publish to your own web space.<br><br>This sample site shows what a finished site looks like. Open it from the front page, look around the CONTENT, SETTINGS and TEMPLATES tabs, and press PREVIEW to see the pages it makes.<br><br>When you are ready, start a site of your own with <b>Start a new site</b> on the front page. You can delete this sample at any time from its settings page.', '2026-11-02', '09:15:00', 1, -1, '', 'Getting started', 1);
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Writing your first post', 'The Vellumite team', 'On the CONTENT tab, give your post a title and a byline, write the text in the big box and press <b>Post</b>.<br><br>Select a few words and use <b>Bold</b>, <i>Italic</i> or <b>Link</b> to format them. Line breaks you type are kept.<br><br>Not finished yet? Press <b>Save draft</b> and come back to it later from the drafts list.', '2026-11-05', '14:30:00', 1, -1, '', 'Getting started', 1);
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Categories and highlights', 'The Vellumite team', 'Categories group posts by subject: make them on the SETTINGS tab, then file a post under one from the post list.<br><br>Highlights are the posts you are proudest of. Tick a post in the recent list and it appears in the highlights box beside every page.', '2026-11-09', '11:05:00', 1, 0, '', 'Getting started', 1);
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Choosing a look for your site', 'The Vellumite team', 'Every page of your site is made from one template. Pick one from the library on the TEMPLATES tab, edit its HTML, or design your own with the template designer.<br><br>This site uses a user template called <i>Welcome</i>: a quiet page with a column for your posts and a sidebar for highlights, categories and links.', '2026-11-14', '16:45:00', 1, -1, '', 'Publishing', 2);
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Publishing to your web space', 'The Vellumite team', 'When your site looks right in the preview, enter your FTP server, user name, password and folder on the SETTINGS tab, then press <b>Publish</b>.<br><br>Vellumite builds every page and uploads them one by one, showing its progress. Your readers need nothing but a web browser.', '2026-11-20', '10:00:00', 1, 0, '', 'Publishing', 2);
INSERT INTO VellumitePosts (LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, Category, categoryID) VALUES (1, 'Ideas for next week', 'Me', 'A few things I&#39;d like to write about:<br>- the garden in winter<br>- the book club&#39;s new list<br>This is a draft: it is not on the site until it is posted.', '2026-11-21', '08:20:00', 0, 0, '', '', 0);
INSERT INTO VellumiteLinks (LogID, linktext, linkurl, newwindow) VALUES (1, 'HTML reference', 'https://developer.mozilla.org/en-US/docs/Web/HTML', -1);
INSERT INTO VellumiteLinks (LogID, linktext, linkurl, newwindow) VALUES (1, 'Web accessibility basics', 'https://www.w3.org/WAI/fundamentals/', 0);
