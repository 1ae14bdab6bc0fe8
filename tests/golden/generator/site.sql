-- Golden generator site: fixed rows whose generated pages are checked in under expected/.
INSERT INTO VellumiteUserTemplate (templateID, templatename, htmltext) VALUES (1, 'golden', '<html>
<head><title><$VellumitePageTitle$></title>
<$VellumiteSearchTerms$>
</head>
<body>
<h1><$VellumiteLogTitle$></h1>
<p class="mode"><$DisplayMode$></p>
<img src="images/banner.png" alt="">
<div class="posts">
<VellumitePostBlock>
<div class="post" id="<$VellumitePostID$>">
<h2><$VellumitePostTitle$></h2>
<p class="byline"><$VellumitePostByline$> <$VellumitePostDateStamp$></p>
<$VellumiteImage$>
<div class="body"><$VellumitePostBody$></div>
</div>
</VellumitePostBlock>
</div>
<p class="pager"><$Startblock$> <$PrevSet$> <$midblocks$> <$NextSet$> <$Endblock$></p>
<h3><$LinkTitle$></h3>
<ul><UserLinkList><li><$LinkText$></li></UserLinkList></ul>
<h3><$HighlightTitle$></h3>
<ul><UserHighlightList><li><$HighlightText$></li></UserHighlightList></ul>
<h3><$CategoryTitle$></h3>
<ul><UserCategoryList><li><$Category$></li></UserCategoryList></ul>
<p>Site <$GlintwatchPageTitle$> / <$VellumiteID$></p>
<p><a href="mailto:<$VellumiteContactEmail$>"><$VellumiteContactMe$></a></p>
<p class="copyright"><$copyright$></p>
<a onclick="popupimage(''/images/big.png'')">big</a>
</body>
</html>
');
INSERT INTO VellumiteLog (LogID, LogTitle, displayTitle, webBarTitle, postperpage, TotalPublishPosts, PublishBackwards, UseDesignerTemplate, LogServerID, pageurl, contactemail, contactmetext, CopyrightNotice, categorytitle, highlightTitle, LinkTitle, logsearchterms, showDate) VALUES (1, 'Newest first', 'Tea Notes', 'Tea Notes bar', 4, 10, 0, 1, 42, 'http://tea.example/notes', 'me@tea.example', 'Write to me', 'Ann Lee', 'Subjects', 'Best of', 'Elsewhere', 'tea, leaves', -1),(2, 'Oldest first', 'Serial', 'Serial bar', 3, 7, -1, 1, 7, 'http://serial.example/index.html', NULL, 'Mail', '', 'Parts', 'Picks', 'Friends', NULL, 0);
INSERT INTO VellumiteCategory (categoryID, LogID, categoryname) VALUES (1, 1, 'Green'), (2, 1, 'Black'), (3, 1, 'Empty'), (4, 2, 'Chapters'), (5, 2, 'Asides');
INSERT INTO VellumiteLinks (linkID, LogID, linktext, linkurl, newwindow) VALUES (1, 1, 'Tea shop', 'http://shop.example', -1), (2, 1, 'Kettle', 'http://kettle.example', NULL), (3, 2, 'Friend', 'http://friend.example', 0);
INSERT INTO VellumitePosts (postID, LogID, posttitle, postbyline, posttext, postdate, posttime, PublishPage, boolDisplayInViewRecent, imagestats, categoryID) VALUES
(1, 1, 'Post 1', 'Ann', 'Body of post 1 with <img src="images/p1.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2023-11-03', '08:00:00', 1, 0, NULL, 1),
(2, 1, 'Post 2', 'Ann', 'Body of post 2 with <img src="images/p2.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2023-11-20', '09:07:00', 1, -1, NULL, 2),
(3, 1, 'Post 3', 'Ann', 'Body of post 3 with <img src="images/p3.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-01-05', '10:00:00', 1, 0, NULL, NULL),
(4, 1, 'Post 4', 'Ann', 'Body of post 4 with <img src="images/p4.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-01-05', '10:00:00', 1, 0, NULL, 1),
(5, 1, '<i>Styled</i> post 5', 'Ann', 'Body of post 5 with <img src="images/p5.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-01-28', '12:28:00', 1, 0, NULL, 2),
(6, 1, 'Post 6', 'Ann', 'Body of post 6 with <img src="images/p6.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-03-02', '13:35:00', 1, 0, NULL, NULL),
(7, 1, 'Post 7', 'Ann', 'Body of post 7 with <img src="images/p7.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-03-15', '10:00:00', 1, -1, NULL, 1),
(8, 1, 'Post 8', 'Ann', 'Body of post 8 with <img src="images/p8.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-03-15', '10:00:00', 1, 0, NULL, 2),
(9, 1, 'Post 9', 'Ann', 'Body of post 9 with <img src="images/p9.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-04-01', '16:56:00', 1, 0, NULL, NULL),
(10, 1, 'Post 10', 'Ann', '<!External Element>', '2024-04-09', '17:03:00', 1, 0, NULL, 1),
(11, 1, 'Post 11', 'Ann', 'Body of post 11 with <img src="images/p11.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-04-10', '08:10:00', 1, 0, NULL, 2),
(12, 1, 'Post 12', 'Ann', 'Body of post 12 with <img src="images/p12.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-04-22', '09:17:00', 1, 0, NULL, NULL),
(13, 1, 'Post 13', 'Ann', 'Body of post 13 with <img src="images/p13.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-05-01', '10:24:00', 1, -1, 'pics/leaf.png,120,80,False', 1),
(14, 1, 'Post 14', 'Ann', 'Body of post 14 with <img src="images/p14.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-05-02', '11:31:00', 1, 0, NULL, 2),
(15, 1, 'Post 15', 'Ann', 'Body of post 15 with <img src="images/p15.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-05-03', '12:38:00', 1, 0, NULL, NULL),
(16, 1, 'Post 16', 'Ann', 'Body of post 16 with <img src="images/p16.png"> and <a href="/images/x.png">x</a>.<br>Title again: <$VellumitePostTitle$>', '2024-05-04', '13:45:00', 1, 0, '/pics/cup.png,300,200,True', 1),
(17, 1, 'Unfinished draft', 'Ann', 'not yet', '2024-05-05', '09:00:00', 0, 0, NULL, 1),
(18, 2, 'Chapter 1', 'Bo', 'Once upon a time, part 1.', '2024-02-01', '20:00:00', 2, -1, NULL, 4),
(19, 2, 'Chapter 2', 'Bo', 'Once upon a time, part 2.', '2024-02-04', '20:00:00', 2, 0, NULL, 4),
(20, 2, 'Chapter 3', 'Bo', 'Once upon a time, part 3.', '2024-02-07', '20:00:00', 2, 0, NULL, 4),
(21, 2, 'Chapter 4', 'Bo', 'Once upon a time, part 4.', '2024-02-10', '20:00:00', 2, 0, NULL, 5),
(22, 2, 'Chapter 5', 'Bo', 'Once upon a time, part 5.', '2024-03-13', '20:00:00', 2, 0, NULL, 4),
(23, 2, 'Chapter 6', 'Bo', 'Once upon a time, part 6.', '2024-03-16', '20:00:00', 2, -1, NULL, 4),
(24, 2, 'Chapter 7', 'Bo', 'Once upon a time, part 7.', '2024-03-19', '20:00:00', 2, 0, NULL, 4),
(25, 2, 'Chapter 8', 'Bo', 'Once upon a time, part 8.', '2024-03-22', '20:00:00', 2, 0, NULL, 5),
(26, 2, 'Chapter 9', 'Bo', 'Once upon a time, part 9.', '2024-04-25', '20:00:00', 2, 0, NULL, 4);
