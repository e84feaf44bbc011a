-- The audit trail by time.
CREATE INDEX audit_time ON audit(time);
