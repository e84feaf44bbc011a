-- Pages of the audit trail by time, alone or narrowed to an account or a kind
-- of record, over the records that have their place.
CREATE INDEX IF NOT EXISTS audit_time_placed ON audit(time, pos) WHERE pos IS NOT NULL;
CREATE INDEX IF NOT EXISTS audit_who_time ON audit(fold_ascii(who), time, pos) WHERE pos IS NOT NULL;
CREATE INDEX IF NOT EXISTS audit_object_time ON audit(fold_ascii(object), time, pos) WHERE pos IS NOT NULL;
