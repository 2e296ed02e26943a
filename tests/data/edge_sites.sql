-- Edge rows beside the demo site (site 1), for the page tests; the same on both engines.
--   site 2 "craft": names and texts with markup characters, NULLs, a character beyond the Basic
--                   Multilingual Plane, equal sort ids, class types without a page, a telephone
--                   setting with "&", guestbook replies with and without a time;
--   site 3 "empty": one telephone class and no setting, nothing else;
--   site 4 "one":   exactly one product;
--   site 6 "dollar": "$" (also as a character reference) in a class name, a news title and text, a
--                   product, a guestbook message and reply, and the telephone setting;
--   site 9:         a setting only (a member site where the page tests post new messages).
-- Ids start at 1001, clear of the demo's and of rows the tests post. Each statement ends with
-- ";" at the end of a line (DemoRoot::ExecuteFile splits there).
INSERT INTO wap_classes (id, userid, type, classname, sortid) VALUES
  (1001, 2, 1, '<&>"''', 2),
  (1002, 2, 0, '新闻😀', 1),
  (1003, 2, 2, NULL, 2),
  (1004, 2, 3, '留言', 3),
  (1005, 2, 4, '电话', 4),
  (1006, 2, 4, '再拨', 4),
  (1007, 2, 5, 'no such type', 5),
  (1008, 2, NULL, 'no type', 6),
  (1009, 2, 1, NULL, 7),
  (1010, 3, 4, '电话', 1);
INSERT INTO wap_setting (id, userid, dircall, templeteid) VALUES
  (1001, 2, '12&3', 1);
INSERT INTO wap_contents (id, cid, title, content, addtime) VALUES
  (1001, 1001, 't<1>', 'a&b', '2024-05-06 07:08:09'),
  (1002, 1001, '首', 'c', NULL),
  (1003, 1002, 'one', 'first
line <br/>', NULL),
  (1004, 1002, 'two', 'second', NULL),
  (1005, 1009, NULL, NULL, NULL);
INSERT INTO wap_product (id, userid, pname, ppic, pcontent, addtime) VALUES
  (1001, 2, '<b>Bold</b> &amp; more', 'a.jpg', 'line<br/>two', NULL),
  (1002, 2, 'Tom & Jerry', 'a''b".jpg', '<script>x</script>', NULL),
  (1003, 2, NULL, NULL, NULL, NULL),
  (1004, 4, '唯一', 'one.jpg', '只有一件', NULL);
INSERT INTO wap_lyb (id, userid, title, lyr, lytime, content, hf, hftime) VALUES
  (1001, 2, '"hi" & bye', '<b>me</b>', '2024-01-02 03:04:05', '<script>alert(1)</script>', '<b>thanks</b><br/>&amp; welcome', '2024-01-03 04:05:06'),
  (1002, 2, NULL, NULL, NULL, NULL, '<i>unclosed', '2024-01-04 05:06:07'),
  (1003, 2, 'no reply time', 'a', '2024-01-05 06:07:08', 'c', 'not shown', NULL),
  (1004, 2, 'empty reply', 'a', '2024-01-06 07:08:09', 'c', '', '2024-01-07 08:09:10');
INSERT INTO web_member (id, m_id, m_name, m_password) VALUES
  (1001, 1, 'o''neil', 'p''w'),
  (1002, 2, 'member', 'other');
INSERT INTO wap_classes (id, userid, type, classname, sortid) VALUES
  (1101, 6, 1, 'Tea $5', 1),
  (1102, 6, 0, '$(password)', 2),
  (1103, 6, 2, 'Shop $', 3),
  (1104, 6, 3, 'Book $$', 4),
  (1105, 6, 4, 'Call $', 5);
INSERT INTO wap_setting (id, userid, dircall, templeteid) VALUES
  (1101, 6, '$12', 1),
  (1109, 9, '', 1);
INSERT INTO wap_contents (id, cid, title, content, addtime) VALUES
  (1101, 1101, 'Half $ off $(x)', 'Now &#x24;5 $', '2024-05-06 07:08:09'),
  (1102, 1102, 't', 'a$b', NULL);
INSERT INTO wap_product (id, userid, pname, ppic, pcontent, addtime) VALUES
  (1101, 6, '<b>$9</b> &#36;(x) &#x0024;', 'p$.jpg', 'only $(y) <', NULL);
INSERT INTO wap_lyb (id, userid, title, lyr, lytime, content, hf, hftime) VALUES
  (1101, 6, 'Re: $5', '$me', '2024-01-02 03:04:05', 'cost $(z) &#x24;', '<i>&#x24;(x)</i> $', '2024-01-03 04:05:06');
