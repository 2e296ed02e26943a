-- The site database: every member site's rows in one set of tables, each row carrying its owner's
-- userid. Times are stored as text in the form YYYY-MM-DD HH:MM:SS.

CREATE TABLE wap_classes (
  id        INTEGER PRIMARY KEY AUTOINCREMENT,
  userid    INTEGER NOT NULL,
  type      INTEGER,
  classname TEXT,
  sortid    INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX wap_classes_userid ON wap_classes (userid, sortid, id);

CREATE TABLE wap_contents (
  id        INTEGER PRIMARY KEY AUTOINCREMENT,
  cid       INTEGER NOT NULL,
  title     TEXT,
  content   TEXT,
  addtime   TEXT DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX wap_contents_cid ON wap_contents (cid);

CREATE VIEW v_wap_contents AS
  SELECT c.id, c.cid, c.title, c.content, c.addtime, k.classname, k.userid
  FROM wap_contents c JOIN wap_classes k ON k.id = c.cid
  ORDER BY c.id;

CREATE TABLE wap_setting (
  id         INTEGER PRIMARY KEY AUTOINCREMENT,
  userid     INTEGER NOT NULL,
  dircall    TEXT,
  templeteid INTEGER
);
CREATE INDEX wap_setting_userid ON wap_setting (userid);

CREATE TABLE web_member (
  id         INTEGER PRIMARY KEY AUTOINCREMENT,
  m_id       INTEGER NOT NULL,
  m_name     TEXT NOT NULL,
  m_password TEXT NOT NULL
);
CREATE INDEX web_member_owner ON web_member (m_id, m_name);

CREATE TABLE wap_product (
  id       INTEGER PRIMARY KEY AUTOINCREMENT,
  userid   INTEGER NOT NULL,
  pname    TEXT,
  ppic     TEXT,
  pcontent TEXT,
  addtime  TEXT DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX wap_product_userid ON wap_product (userid, id);

CREATE TABLE wap_lyb (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  userid  INTEGER NOT NULL,
  title   TEXT,
  lyr     TEXT,
  lytime  TEXT DEFAULT (datetime('now', 'localtime')),
  content TEXT,
  hf      TEXT,
  hftime  TEXT
);
CREATE INDEX wap_lyb_userid ON wap_lyb (userid, id);
