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
  m_password text NOT NULL,
  -- Raised when the member's password changes: a login made before it has ended.
  session_stamp integer NOT NULL DEFAULT 0
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

-- The site owners who sign in to the back office: userid is the number every row of the owner's
-- site carries, username the member folder's name. password holds a salted Argon2id hash.
CREATE TABLE wap_owners (
  userid    integer PRIMARY KEY,
  username  text NOT NULL UNIQUE,
  password  text NOT NULL,
  created   timestamp(0) NOT NULL DEFAULT localtimestamp(0),
  lastlogin timestamp(0),
  disabled  integer NOT NULL DEFAULT 0,
  -- Raised when the password changes or the account is disabled or enabled: a sign-in made
  -- before it has ended.
  session_stamp integer NOT NULL DEFAULT 0
);

-- What owners did in the back office: who, when, from which address, which action on which row
-- or file.
CREATE TABLE wap_audit (
  id      serial PRIMARY KEY,
  userid  integer NOT NULL,
  addtime timestamp(0) NOT NULL DEFAULT localtimestamp(0),
  address text NOT NULL,
  action  text NOT NULL,
  target  text
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
CREATE OR REPLACE FUNCTION wap_announce_change() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  old_member bigint;
  new_member bigint;
BEGIN
  IF TG_TABLE_NAME = 'wap_contents' THEN
    IF TG_OP <> 'INSERT' THEN SELECT userid INTO old_member FROM wap_classes WHERE id = OLD.cid; END IF;
    IF TG_OP <> 'DELETE' THEN SELECT userid INTO new_member FROM wap_classes WHERE id = NEW.cid; END IF;
  ELSIF TG_TABLE_NAME = 'web_member' THEN
    IF TG_OP <> 'INSERT' THEN old_member := OLD.m_id; END IF;
    IF TG_OP <> 'DELETE' THEN new_member := NEW.m_id; END IF;
  ELSE
    IF TG_OP <> 'INSERT' THEN old_member := OLD.userid; END IF;
    IF TG_OP <> 'DELETE' THEN new_member := NEW.userid; END IF;
  END IF;
  IF TG_OP <> 'INSERT' THEN PERFORM pg_notify('wap_changes', coalesce(old_member::text, '')); END IF;
  IF TG_OP <> 'DELETE' AND (TG_OP = 'INSERT' OR new_member IS DISTINCT FROM old_member) THEN
    PERFORM pg_notify('wap_changes', coalesce(new_member::text, ''));
  END IF;
  RETURN NULL;
END;
$$;
CREATE OR REPLACE TRIGGER wap_classes_changed AFTER INSERT OR UPDATE OR DELETE ON wap_classes
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER wap_contents_changed AFTER INSERT OR UPDATE OR DELETE ON wap_contents
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER wap_setting_changed AFTER INSERT OR UPDATE OR DELETE ON wap_setting
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER web_member_changed AFTER INSERT OR UPDATE OR DELETE ON web_member
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER wap_product_changed AFTER INSERT OR UPDATE OR DELETE ON wap_product
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER wap_lyb_changed AFTER INSERT OR UPDATE OR DELETE ON wap_lyb
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();
CREATE OR REPLACE TRIGGER wap_owners_changed AFTER INSERT OR UPDATE OR DELETE ON wap_owners
  FOR EACH ROW EXECUTE FUNCTION wap_announce_change();

-- The schema's version; `wapsite upgrade` brings an older database up to it.
CREATE TABLE wapsite_schema (version integer NOT NULL);
INSERT INTO wapsite_schema (version) VALUES (5);
