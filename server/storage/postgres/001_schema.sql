-- The security database, the log with its count buckets, the audit trail.
CREATE FUNCTION fold_ascii(t text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE
  AS $$ SELECT translate(t, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') $$;
CREATE TABLE appl(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT appl_dn_key UNIQUE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  perm_plain text NOT NULL DEFAULT '',
  perm_enc text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX appl_name_key ON appl(fold_ascii(name));
CREATE TABLE secgroup(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT secgroup_dn_key UNIQUE,
  appl_id bigint NOT NULL REFERENCES appl(id) ON DELETE CASCADE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX secgroup_name_key ON secgroup(appl_id, fold_ascii(name));
CREATE TABLE secobj(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT secobj_dn_key UNIQUE,
  group_id bigint NOT NULL REFERENCES secgroup(id) ON DELETE CASCADE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '',
  acl_plain text NOT NULL DEFAULT '',
  acl_enc text NOT NULL DEFAULT '',
  use_q integer NOT NULL DEFAULT 0,
  q_name text NOT NULL DEFAULT '',
  q_type text NOT NULL DEFAULT '',
  q_oper text NOT NULL DEFAULT '',
  q_value text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX secobj_name_key ON secobj(group_id, fold_ascii(name));
CREATE TABLE role(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  dn text NOT NULL CONSTRAINT role_dn_key UNIQUE,
  name text NOT NULL,
  description text NOT NULL DEFAULT '');
CREATE UNIQUE INDEX role_name_key ON role(fold_ascii(name));
CREATE TABLE role_member(
  role_id bigint NOT NULL REFERENCES role(id) ON DELETE CASCADE,
  kind integer NOT NULL,
  position integer NOT NULL,
  name text NOT NULL,
  PRIMARY KEY(role_id, kind, position));
CREATE TABLE log(
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  time text COLLATE "C" NOT NULL,
  who text NOT NULL DEFAULT '',
  action text NOT NULL DEFAULT '',
  status text NOT NULL DEFAULT '',
  computer text NOT NULL DEFAULT '');
CREATE INDEX log_time ON log(time, id);
CREATE TABLE log_day(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
CREATE TABLE log_hour(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
CREATE TABLE log_minute(key text COLLATE "C" PRIMARY KEY, n bigint NOT NULL);
-- Audit records take a place (pos) without gaps after their transaction has
-- committed, so that a page is a range of places and no change waits for
-- another's commit to number its record. audit_count holds the places given.
CREATE TABLE audit(
  seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  pos bigint UNIQUE,
  time text COLLATE "C" NOT NULL,
  who text NOT NULL,
  computer text NOT NULL,
  object text NOT NULL,
  operation text NOT NULL,
  identity text NOT NULL,
  name text NOT NULL,
  old_value text NOT NULL,
  new_value text NOT NULL);
CREATE INDEX audit_unplaced ON audit(seq) WHERE pos IS NULL;
CREATE TABLE audit_count(single boolean PRIMARY KEY DEFAULT true CHECK(single), n bigint NOT NULL);
INSERT INTO audit_count(n) VALUES(0);
-- The one change allowed: giving a record its place.
CREATE FUNCTION audit_kept() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'UPDATE' AND OLD.pos IS NULL AND NEW.pos IS NOT NULL
     AND to_jsonb(OLD) - 'pos' = to_jsonb(NEW) - 'pos' THEN
    RETURN NEW;
  END IF;
  RAISE EXCEPTION 'audit records are never changed or removed';
END $$;
CREATE TRIGGER audit_kept_rows BEFORE UPDATE OR DELETE ON audit
  FOR EACH ROW EXECUTE FUNCTION audit_kept();
CREATE TRIGGER audit_kept_table BEFORE TRUNCATE ON audit
  FOR EACH STATEMENT EXECUTE FUNCTION audit_kept();
CREATE TABLE setting(key text PRIMARY KEY, value text NOT NULL);
