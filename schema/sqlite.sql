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
  m_password TEXT NOT NULL,
  -- Raised when the member's password changes: a login made before it has ended.
  session_stamp INTEGER NOT NULL DEFAULT 0
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

-- The site owners who sign in to the back office: userid is the number every row of the owner's
-- site carries, username the member folder's name. password holds a salted Argon2id hash.
CREATE TABLE wap_owners (
  userid    INTEGER PRIMARY KEY,
  username  TEXT NOT NULL UNIQUE,
  password  TEXT NOT NULL,
  created   TEXT NOT NULL DEFAULT (datetime('now', 'localtime')),
  lastlogin TEXT,
  disabled  INTEGER NOT NULL DEFAULT 0,
  -- Raised when the password changes or the account is disabled or enabled: a sign-in made
  -- before it has ended.
  session_stamp INTEGER NOT NULL DEFAULT 0
);

-- What owners did in the back office: who, when, from which address, which action on which row
-- or file.
CREATE TABLE wap_audit (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  userid  INTEGER NOT NULL,
  addtime TEXT NOT NULL DEFAULT (datetime('now', 'localtime')),
  address TEXT NOT NULL,
  action  TEXT NOT NULL,
  target  TEXT
);
CREATE INDEX wap_audit_userid ON wap_audit (userid, id);

-- The host's own tables (sessions and throttling counters shared by several instances, and the
-- periodic clean-up's turn); the same statements bring an older database up to date.
CREATE TABLE IF NOT EXISTS wap_sessions (
  id_hash   TEXT PRIMARY KEY,
  address   TEXT NOT NULL,
  created   BIGINT NOT NULL,
  last_seen BIGINT NOT NULL,
  expires   BIGINT NOT NULL,
  signed_in INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS wap_sessions_expires ON wap_sessions (expires);
CREATE INDEX IF NOT EXISTS wap_sessions_address ON wap_sessions (address, signed_in, last_seen);
CREATE TABLE IF NOT EXISTS wap_session_values (
  id_hash TEXT NOT NULL,
  name    TEXT NOT NULL,
  value   TEXT NOT NULL,
  PRIMARY KEY (id_hash, name)
);
CREATE TABLE IF NOT EXISTS wap_throttle_events (
  event_key TEXT NOT NULL,
  at        BIGINT NOT NULL,
  expires   BIGINT NOT NULL
);
CREATE INDEX IF NOT EXISTS wap_throttle_events_key ON wap_throttle_events (event_key, at);
CREATE INDEX IF NOT EXISTS wap_throttle_events_expires ON wap_throttle_events (expires);
CREATE TABLE IF NOT EXISTS wap_sweeps (
  name     TEXT PRIMARY KEY,
  next_run BIGINT NOT NULL
);
INSERT INTO wap_sweeps (name, next_run) VALUES ('expired', 0) ON CONFLICT DO NOTHING;

-- Change signals: each change of a member site's row announces its member (userid), so that
-- every instance serving the site drops the pages it kept of that member.
CREATE TABLE IF NOT EXISTS wap_changes (
  seq    INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER
);
CREATE TRIGGER IF NOT EXISTS wap_changes_kept AFTER INSERT ON wap_changes BEGIN
  DELETE FROM wap_changes WHERE seq <= NEW.seq - 1000;
END;
CREATE TRIGGER IF NOT EXISTS wap_classes_ins AFTER INSERT ON wap_classes BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_classes_upd AFTER UPDATE ON wap_classes BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid);
  INSERT INTO wap_changes (userid) SELECT NEW.userid WHERE NEW.userid IS NOT OLD.userid; END;
CREATE TRIGGER IF NOT EXISTS wap_classes_del AFTER DELETE ON wap_classes BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_contents_ins AFTER INSERT ON wap_contents BEGIN
  INSERT INTO wap_changes (userid) VALUES ((SELECT userid FROM wap_classes WHERE id = NEW.cid)); END;
CREATE TRIGGER IF NOT EXISTS wap_contents_upd AFTER UPDATE ON wap_contents BEGIN
  INSERT INTO wap_changes (userid) VALUES ((SELECT userid FROM wap_classes WHERE id = OLD.cid));
  INSERT INTO wap_changes (userid) SELECT (SELECT userid FROM wap_classes WHERE id = NEW.cid)
    WHERE NEW.cid IS NOT OLD.cid; END;
CREATE TRIGGER IF NOT EXISTS wap_contents_del AFTER DELETE ON wap_contents BEGIN
  INSERT INTO wap_changes (userid) VALUES ((SELECT userid FROM wap_classes WHERE id = OLD.cid)); END;
CREATE TRIGGER IF NOT EXISTS wap_setting_ins AFTER INSERT ON wap_setting BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_setting_upd AFTER UPDATE ON wap_setting BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid);
  INSERT INTO wap_changes (userid) SELECT NEW.userid WHERE NEW.userid IS NOT OLD.userid; END;
CREATE TRIGGER IF NOT EXISTS wap_setting_del AFTER DELETE ON wap_setting BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid); END;
CREATE TRIGGER IF NOT EXISTS web_member_ins AFTER INSERT ON web_member BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.m_id); END;
CREATE TRIGGER IF NOT EXISTS web_member_upd AFTER UPDATE ON web_member BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.m_id);
  INSERT INTO wap_changes (userid) SELECT NEW.m_id WHERE NEW.m_id IS NOT OLD.m_id; END;
CREATE TRIGGER IF NOT EXISTS web_member_del AFTER DELETE ON web_member BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.m_id); END;
CREATE TRIGGER IF NOT EXISTS wap_product_ins AFTER INSERT ON wap_product BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_product_upd AFTER UPDATE ON wap_product BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid);
  INSERT INTO wap_changes (userid) SELECT NEW.userid WHERE NEW.userid IS NOT OLD.userid; END;
CREATE TRIGGER IF NOT EXISTS wap_product_del AFTER DELETE ON wap_product BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_lyb_ins AFTER INSERT ON wap_lyb BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_lyb_upd AFTER UPDATE ON wap_lyb BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid);
  INSERT INTO wap_changes (userid) SELECT NEW.userid WHERE NEW.userid IS NOT OLD.userid; END;
CREATE TRIGGER IF NOT EXISTS wap_lyb_del AFTER DELETE ON wap_lyb BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_owners_ins AFTER INSERT ON wap_owners BEGIN
  INSERT INTO wap_changes (userid) VALUES (NEW.userid); END;
CREATE TRIGGER IF NOT EXISTS wap_owners_upd AFTER UPDATE ON wap_owners BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid);
  INSERT INTO wap_changes (userid) SELECT NEW.userid WHERE NEW.userid IS NOT OLD.userid; END;
CREATE TRIGGER IF NOT EXISTS wap_owners_del AFTER DELETE ON wap_owners BEGIN
  INSERT INTO wap_changes (userid) VALUES (OLD.userid); END;

-- The schema's version; `wapsite upgrade` brings an older database up to it.
CREATE TABLE wapsite_schema (version INTEGER NOT NULL);
INSERT INTO wapsite_schema (version) VALUES (5);
