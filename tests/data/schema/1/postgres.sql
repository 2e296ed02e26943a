-- The site database: every member site's rows in one set of tables, each row carrying its owner's
-- userid. Times are timestamps without fractions; the data layer returns them as
-- YYYY-MM-DD HH:MM:SS.
CREATE TABLE wap_classes (
  id        serial PRIMARY KEY,
  userid    integer NOT NULL,
  type      integer,
  classname text,
  sortid    integer NOT NULL DEFAULT 0
);
CREATE INDEX wap_classes_userid ON wap_classes (userid, sortid, id);

CREATE TABLE wap_contents (
  id        serial PRIMARY KEY,
  cid       integer NOT NULL,
  title     text,
  content   text,
  addtime   timestamp(0) DEFAULT localtimestamp(0)
);
CREATE INDEX wap_contents_cid ON wap_contents (cid);

CREATE VIEW v_wap_contents AS
  SELECT c.id, c.cid, c.title, c.content, c.addtime, k.classname, k.userid
  FROM wap_contents c JOIN wap_classes k ON k.id = c.cid
  ORDER BY c.id;

CREATE TABLE wap_setting (
  id         serial PRIMARY KEY,
  userid     integer NOT NULL,
  dircall    text,
  templeteid integer
);
CREATE INDEX wap_setting_userid ON wap_setting (userid);

CREATE TABLE web_member (
  id         serial PRIMARY KEY,
  m_id       integer NOT NULL,
  m_name     text NOT NULL,
  m_password text NOT NULL
);
CREATE INDEX web_member_owner ON web_member (m_id, m_name);

CREATE TABLE wap_product (
  id       serial PRIMARY KEY,
  userid   integer NOT NULL,
  pname    text,
  ppic     text,
  pcontent text,
  addtime  timestamp(0) DEFAULT localtimestamp(0)
);
CREATE INDEX wap_product_userid ON wap_product (userid, id);

CREATE TABLE wap_lyb (
  id      serial PRIMARY KEY,
  userid  integer NOT NULL,
  title   text,
  lyr     text,
  lytime  timestamp(0) DEFAULT localtimestamp(0),
  content text,
  hf      text,
  hftime  timestamp(0)
);
CREATE INDEX wap_lyb_userid ON wap_lyb (userid, id);
