-- The names the audit trail holds, each once. A "name holds" filter looks
-- through these few and, when they name few records, reads just those
-- records by name instead of the whole trail from the newest.
-- Each kept folded as well, so that a look through them folds only the text.
CREATE TABLE audit_name(name text PRIMARY KEY, folded text NOT NULL);
INSERT INTO audit_name SELECT DISTINCT name, fold_ascii(name) FROM audit ON CONFLICT DO NOTHING;
CREATE FUNCTION audit_name_keep() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  INSERT INTO audit_name VALUES(NEW.name, fold_ascii(NEW.name)) ON CONFLICT DO NOTHING;
  RETURN NULL;
END $$;
CREATE TRIGGER audit_name_kept AFTER INSERT ON audit
  FOR EACH ROW EXECUTE FUNCTION audit_name_keep();
CREATE INDEX audit_name_time ON audit(name, time, pos) WHERE pos IS NOT NULL;
