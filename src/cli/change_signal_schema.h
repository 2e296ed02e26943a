// The site database's change signals: every insert, update and delete of a member site's row
// announces the member (userid) it belongs to, so that each instance serving the site drops the
// pages it kept of that member (rendered_page_cache.h, change_watcher.h). Triggers do it, so a
// change made by hand (sqlite3, psql) is announced as well as one made by any instance.
//   SQLite:     a row in wap_changes (seq ascending, userid; NULL when the member cannot be told);
//               only the last 1000 rows are kept, and an instance that missed some drops all.
//   PostgreSQL: NOTIFY on channel "wap_changes", the payload the userid (empty when it cannot be
//               told), sent when the transaction commits.
// The tables: wap_classes, wap_contents (the member of its class), wap_setting, web_member
// (m_id), wap_product, wap_lyb and wap_owners. wap_audit and the host's tables are not part of
// a site's pages and announce nothing.
#pragma once

#include <string_view>

namespace cli {

// The statements that add the signals to a database of schema version 3 (idempotent; PostgreSQL
// 14 or later); the schema files hold the same.
inline constexpr std::string_view kChangeSignalsSqlite = R"sql(
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
)sql";

inline constexpr std::string_view kChangeSignalsPostgres = R"sql(
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
)sql";

}  // namespace cli
