-- INSERT OR REPLACE removes the record it replaces without running the delete
-- trigger, so an insert that names a record already there is refused here.
CREATE TRIGGER audit_kept_on_replace BEFORE INSERT ON audit
  WHEN EXISTS (SELECT 1 FROM audit WHERE id = NEW.id)
  BEGIN SELECT RAISE(ABORT, 'audit records are never replaced'); END;
