-- Pages of the audit trail narrowed to an account or a kind of record, by time.
CREATE INDEX IF NOT EXISTS audit_user_time ON audit(user COLLATE NOCASE, time);
CREATE INDEX IF NOT EXISTS audit_object_time ON audit(object COLLATE NOCASE, time);
