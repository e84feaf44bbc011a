-- The names the audit trail holds, each once. A "name holds" filter looks
-- through these few and, when they name few records, reads just those
-- records by name instead of the whole trail from the newest.
CREATE TABLE audit_name(name TEXT PRIMARY KEY) WITHOUT ROWID;
INSERT OR IGNORE INTO audit_name SELECT DISTINCT name FROM audit;
CREATE TRIGGER audit_name_kept AFTER INSERT ON audit
  BEGIN INSERT OR IGNORE INTO audit_name VALUES(NEW.name); END;
CREATE INDEX audit_name_time ON audit(name, time);
