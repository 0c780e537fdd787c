#include "PgRules.h"

namespace zpp::store {

namespace {
// The role work runs as "<database>_roles", which holds CREATEROLE: on PostgreSQL 15 nearly a
// superuser. So these functions run no code an administrator can reach. They live in a schema of
// the roles role, where nobody else makes, drops or replaces a function (administrators own the
// database, and so public: a function of theirs there, named as ours, would be run by the next
// superuser who syncs the roles). Their path leaves out public, where administrators may make
// functions and operators that outrank the catalog's, and they read the two rights tables only as
// plain tables of our column types (no view, no inheritance, no policy, no type with a cast of
// theirs).
const QString kRoleFunction = QStringLiteral(
    "{{pg}}CREATE OR REPLACE FUNCTION zpprole.%1 LANGUAGE plpgsql SECURITY DEFINER"
    " SET search_path = pg_catalog, pg_temp"
    " SET row_security = off AS $f$ DECLARE base text := current_database(); owner text; roles text;"
    " marker text; trusted boolean; %2 $f$");

// The store's roles, named as OwnerRole names the owner: the database's name cut to 57 bytes on
// a character's boundary. "_users" marks the roles the store made or adopted: the only ones
// whose passwords its administrators may set.
const QString kNames = QStringLiteral(" WHILE octet_length(base) > 57 LOOP base := left(base, -1); END LOOP;"
                                      " owner := base || '_owner'; roles := base || '_roles';"
                                      " marker := base || '_users';");

// Refuses a caller who is no administrator of the store (every right of the module: 5341469, and
// a member of the owner role) unless it could do all this itself (a superuser, or a role with
// CREATEROLE: "trusted"), and rights tables that are not the plain tables the store made.
const QString kCheck = QStringLiteral(
    " SELECT rolsuper OR rolcreaterole INTO trusted FROM pg_roles WHERE rolname = session_user;"
    " IF (SELECT count(*) FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid"
    "  JOIN (VALUES ('users', 'id', 'int4'), ('users', 'name', 'text'), ('user_rights', 'user_id', 'int4'),"
    "   ('user_rights', 'subsystem', 'int4'), ('user_rights', 'module', 'int4'),"
    "   ('user_rights', 'granted_mask', 'int8')) k (rel, col, typ)"
    "  ON c.relname = k.rel AND a.attname = k.col AND a.atttypid = k.typ::regtype::oid"
    "  WHERE c.relnamespace = 'public'::regnamespace::oid AND c.relkind = 'r'"
    "  AND NOT a.attisdropped) <> 6 THEN"
    "  RAISE EXCEPTION 'users and user_rights are not the tables this store made'"
    "   USING ERRCODE = 'insufficient_privilege';"
    " END IF;"
    " IF NOT trusted AND NOT (pg_has_role(session_user, owner, 'MEMBER') AND EXISTS (SELECT 1"
    "  FROM ONLY public.users u JOIN ONLY public.user_rights r ON r.user_id = u.id"
    "  WHERE u.name = session_user AND r.subsystem = 1006 AND r.module = 13"
    "  AND (r.granted_mask & 5341469::bigint) = 5341469::bigint)) THEN"
    "  RAISE EXCEPTION 'only an administrator of the store manages its users'"
    "   USING ERRCODE = 'insufficient_privilege';"
    " END IF;");
// Ends a refusal's condition: the target role is, or belongs to, a role with more than a user's or
// an administrator's powers (a superuser, CREATEROLE, CREATEDB, REPLICATION, BYPASSRLS, or one of
// the server's predefined roles); such a role is never the store's to change.
const QString kPrivilegedTarget = QStringLiteral(
    "  OR EXISTS (SELECT 1 FROM pg_roles g WHERE pg_has_role(target, g.oid, 'MEMBER')"
    "   AND (g.rolsuper OR g.rolcreaterole OR g.rolcreatedb OR g.rolreplication OR g.rolbypassrls"
    "   OR g.oid < 16384::oid))) THEN"
    "  RAISE EXCEPTION 'the role % is not one this store may change', quote_ident(p_name)"
    "   USING ERRCODE = 'insufficient_privilege';"
    " END IF;");
// Refuses a name that is not a user of the store or could not be a role's, and a password that is
// not a SCRAM verifier (the program hashes it; a plain password would be kept in the server's log).
const QString kNameCheck = QStringLiteral(
    " IF p_name IS NULL OR p_name = '' OR octet_length(p_name) > 63 THEN"
    "  RAISE EXCEPTION 'a role''s name is 1 to 63 bytes long' USING ERRCODE = 'invalid_parameter_value';"
    " END IF;"
    " IF NOT EXISTS (SELECT 1 FROM ONLY public.users WHERE name = p_name) THEN"
    "  RAISE EXCEPTION '% is not a user of this store', quote_ident(p_name)"
    "   USING ERRCODE = 'insufficient_privilege';"
    " END IF;"
    " IF p_verifier !~ '^SCRAM-SHA-256\\$[0-9]+:[A-Za-z0-9+/]+=*\\$[A-Za-z0-9+/]+=*:[A-Za-z0-9+/]+=*$' THEN"
    "  RAISE EXCEPTION 'a password is set only as a SCRAM-SHA-256 verifier'"
    "   USING ERRCODE = 'invalid_parameter_value';"
    " END IF;");
// A user's role follows the user's state (users.status): an active user's role may log in; a
// disabled one's may not; a deleted one's may not, is no longer the store's, and is no longer an
// administrator. Only a role the store made or adopted, that can do no more than a user or an
// administrator of the store, is changed; a role that is not the store's cannot connect to it
// anyway, so locking it out is left alone. The caller must be an active administrator, so nobody
// locks themself out this way and one administrator always remains.
QString FollowStateFunction() {
    return kRoleFunction.arg(
        QStringLiteral("follow_state(p_name text) RETURNS void"),
        QStringLiteral("target oid; state text; marked boolean; BEGIN") + kNames + kCheck +
            QStringLiteral(
                // Read as plain text: a column of another type could run its owner's cast here.
                " IF NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = 'public.users'::regclass"
                "  AND attname = 'status' AND atttypid = 'text'::regtype AND NOT attisdropped) THEN"
                "  RAISE EXCEPTION 'users is not the table this store made'"
                "   USING ERRCODE = 'insufficient_privilege';"
                " END IF;"
                " IF NOT trusted AND NOT EXISTS (SELECT 1 FROM ONLY public.users"
                "  WHERE name = session_user AND status = 'active') THEN"
                "  RAISE EXCEPTION 'only an active administrator of the store manages its users'"
                "   USING ERRCODE = 'insufficient_privilege';"
                " END IF;"
                " SELECT u.status INTO state FROM ONLY public.users u WHERE u.name = p_name;"
                " IF NOT FOUND THEN"
                "  RAISE EXCEPTION '% is not a user of this store', quote_ident(p_name)"
                "   USING ERRCODE = 'insufficient_privilege';"
                " END IF;"
                " SELECT oid INTO target FROM pg_roles WHERE rolname = p_name;"
                " IF target IS NULL THEN RETURN; END IF;"
                " marked := EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
                "  WHERE m.member = target AND g.rolname = marker);"
                " IF NOT marked AND state IS DISTINCT FROM 'active' THEN RETURN; END IF;"
                " IF NOT trusted AND (NOT marked OR p_name IN (owner, roles, marker)") +
            kPrivilegedTarget +
            QStringLiteral(" IF state = 'active' THEN"
                           "  EXECUTE 'ALTER ROLE ' || quote_ident(p_name) || ' LOGIN'; RETURN;"
                           " END IF;"
                           " EXECUTE 'ALTER ROLE ' || quote_ident(p_name) || ' NOLOGIN';"
                           " IF state = 'deleted' THEN"
                           "  IF EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
                           "   WHERE m.member = target AND g.rolname = owner) THEN"
                           "   EXECUTE 'REVOKE ' || quote_ident(owner) || ' FROM ' || quote_ident(p_name);"
                           "  END IF;"
                           "  EXECUTE 'REVOKE ' || quote_ident(marker) || ' FROM ' || quote_ident(p_name);"
                           " END IF; END"));
}
} // namespace

QStringList PostgresUserStates() {
    // A store upgraded from before schema 15 got the function with the others. On a later one only
    // the server's superuser, or the database's owner holding CREATEROLE, may act as the roles role
    // to make it: an administrator's CREATEROLE went with schema 15.
    QString create = FollowStateFunction();
    create.remove(0, 6); // {{pg}}
    return {
        QStringLiteral(
            "{{pg}}DO $m$ DECLARE base text := current_database(); owner text; roles text; marker text;"
            " super boolean; me text := current_user; BEGIN") +
        kNames +
        QStringLiteral(
            " IF EXISTS (SELECT 1 FROM pg_proc WHERE pronamespace = 'zpprole'::regnamespace"
            "  AND proname = 'follow_state') THEN RETURN; END IF;"
            " SELECT rolsuper INTO super FROM pg_roles WHERE rolname = me;"
            " IF NOT super AND NOT (EXISTS (SELECT 1 FROM pg_roles WHERE rolname = me AND rolcreaterole)"
            "  AND pg_has_role(me, (SELECT datdba FROM pg_database WHERE datname = current_database()),"
            "  'MEMBER')) THEN"
            "  RAISE EXCEPTION 'this upgrade adds a function of the role % that manages the store''s users:"
            " a superuser, or the database''s owner holding CREATEROLE, must open the store first', roles"
            "   USING ERRCODE = 'insufficient_privilege';"
            " END IF;"
            " IF NOT super THEN"
            "  EXECUTE 'GRANT ' || quote_ident(roles) || ' TO ' || quote_ident(me); END IF;"
            " EXECUTE $c$") +
        create +
        QStringLiteral("$c$;"
                       " EXECUTE 'REVOKE ALL ON FUNCTION zpprole.follow_state(text) FROM PUBLIC';"
                       " EXECUTE 'GRANT EXECUTE ON FUNCTION zpprole.follow_state(text) TO '"
                       "  || quote_ident(owner);"
                       " EXECUTE 'ALTER FUNCTION zpprole.follow_state(text) OWNER TO ' || quote_ident(roles);"
                       " IF NOT super THEN"
                       "  EXECUTE 'REVOKE ' || quote_ident(roles) || ' FROM ' || quote_ident(me); END IF;"
                       " END $m$")};
}

QStringList PostgresRoleAdministration() {
    const QString head =
        QStringLiteral(
            "{{pg}}DO $m$ DECLARE base text := current_database(); owner text; roles text; marker text;"
            " super boolean; me text := current_user; r text; BEGIN") +
        kNames + QStringLiteral(" SELECT rolsuper INTO super FROM pg_roles WHERE rolname = me;");
    QStringList s;
    // The roles and the roles role's schema. Only a superuser or a role with CREATEROLE can make
    // them: an administrator of an older store who holds it upgrades it once, and loses it below.
    s << head +
             QStringLiteral(
                 " IF NOT super AND NOT (EXISTS (SELECT 1 FROM pg_roles WHERE rolname = me AND rolcreaterole)"
                 "  AND pg_has_role(me, (SELECT datdba FROM pg_database WHERE datname = current_database()),"
                 "  'MEMBER')) THEN"
                 "  RAISE EXCEPTION 'this upgrade makes the role % that manages the store''s users and lets"
                 " them connect: a superuser, or the database''s owner holding CREATEROLE, must open the "
                 "store"
                 " first', roles"
                 "   USING ERRCODE = 'insufficient_privilege';"
                 " END IF;"
                 " IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = owner) THEN"
                 "  EXECUTE 'CREATE ROLE ' || quote_ident(owner) || ' NOLOGIN'; END IF;"
                 " IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = roles) THEN"
                 "  EXECUTE 'CREATE ROLE ' || quote_ident(roles) || ' NOLOGIN CREATEROLE'; END IF;"
                 " IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = marker) THEN"
                 "  EXECUTE 'CREATE ROLE ' || quote_ident(marker) || ' NOLOGIN'; END IF;"
                 // Whoever could act as the roles role could change its functions.
                 " IF EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
                 "  WHERE g.rolname = roles) THEN"
                 "  RAISE EXCEPTION 'role % has members: it must have none', roles"
                 "   USING ERRCODE = 'insufficient_privilege';"
                 " END IF;"
                 " EXECUTE 'ALTER ROLE ' || quote_ident(roles) || ' NOLOGIN CREATEROLE PASSWORD NULL';"
                 " EXECUTE 'ALTER ROLE ' || quote_ident(marker) || ' NOLOGIN PASSWORD NULL';"
                 // The store's roles connect as its members.
                 " EXECUTE 'GRANT CONNECT ON DATABASE ' || quote_ident(current_database()) || ' TO '"
                 "  || quote_ident(marker) || ', ' || quote_ident(owner);"
                 // It reads the rights tables before the sync hands them to the owner, and as a
                 // member of the owner keeps what the sync takes from roles that are no users.
                 " EXECUTE 'GRANT ' || quote_ident(owner) || ' TO ' || quote_ident(roles);"
                 " EXECUTE 'GRANT SELECT ON public.users, public.user_rights TO ' || quote_ident(roles);"
                 // The users of an older store whose roles it synced are its own.
                 " FOR r IN SELECT u.name FROM public.users u JOIN pg_roles p ON p.rolname = u.name"
                 "  WHERE NOT p.rolsuper AND u.name NOT IN (owner, roles, marker)"
                 "  AND has_table_privilege(p.oid, 'public.users', 'SELECT') LOOP"
                 "  EXECUTE 'GRANT ' || quote_ident(marker) || ' TO ' || quote_ident(r);"
                 " END LOOP;"
                 // Making and handing over the roles role's functions takes acting as it: the
                 // runner does until the end of this upgrade.
                 " IF NOT super THEN"
                 "  EXECUTE 'GRANT ' || quote_ident(roles) || ' TO ' || quote_ident(me); END IF;"
                 " IF NOT EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = 'zpprole') THEN"
                 "  EXECUTE 'CREATE SCHEMA zpprole AUTHORIZATION ' || quote_ident(roles);"
                 " ELSIF (SELECT pg_get_userbyid(nspowner) FROM pg_namespace"
                 "  WHERE nspname = 'zpprole') <> roles THEN"
                 "  RAISE EXCEPTION 'schema zpprole belongs to another role: drop it first'"
                 "   USING ERRCODE = 'insufficient_privilege';"
                 " END IF; END $m$");
    // A user's login role, without a password or with a verifier, unless a role of that name
    // exists (true when made). The store marks what it made as its own.
    s << kRoleFunction.arg(
        QStringLiteral("create_login(p_name text, p_verifier text) RETURNS boolean"),
        QStringLiteral("BEGIN") + kNames + kCheck + kNameCheck +
            QStringLiteral(
                " IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = p_name) THEN RETURN false; END IF;"
                " EXECUTE 'CREATE ROLE ' || quote_ident(p_name) || ' LOGIN'"
                "  || COALESCE(' PASSWORD ' || quote_literal(p_verifier), '');"
                " EXECUTE 'GRANT ' || quote_ident(marker) || ' TO ' || quote_ident(p_name);"
                " RETURN true;"
                // Another session made it first.
                " EXCEPTION WHEN duplicate_object OR unique_violation THEN RETURN false; END"));
    // A user's password, as a verifier. Besides their own, an administrator sets only the
    // password of a role the store marked as its own that can do no more than a user: not
    // another administrator's, nor that of a role which is, or is a member of, a superuser, a
    // role with CREATEROLE, CREATEDB, REPLICATION or BYPASSRLS, or a predefined role (the
    // database's owner is one).
    s << kRoleFunction.arg(
        QStringLiteral("set_password(p_name text, p_verifier text) RETURNS void"),
        QStringLiteral("target oid; BEGIN") + kNames + kCheck + kNameCheck +
            QStringLiteral(
                " IF p_verifier IS NULL THEN"
                "  RAISE EXCEPTION 'no password' USING ERRCODE = 'invalid_parameter_value';"
                " END IF;"
                " SELECT oid INTO target FROM pg_roles WHERE rolname = p_name;"
                " IF target IS NULL THEN"
                "  RAISE EXCEPTION 'role % does not exist', quote_ident(p_name)"
                "   USING ERRCODE = 'undefined_object';"
                " END IF;"
                " IF NOT trusted AND p_name <> session_user AND (p_name IN (owner, roles, marker)"
                "  OR NOT EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
                "   WHERE m.member = target AND g.rolname = marker)"
                "  OR pg_has_role(target, owner, 'MEMBER')") +
            kPrivilegedTarget +
            QStringLiteral(" EXECUTE 'ALTER ROLE ' || quote_ident(p_name) || ' PASSWORD '"
                           "  || quote_literal(p_verifier); END"));
    // A role that is no longer a user of the store is no longer let in: it leaves the marked roles.
    s << kRoleFunction.arg(
        QStringLiteral("forget_login(p_name text) RETURNS void"),
        QStringLiteral("BEGIN") + kNames + kCheck +
            QStringLiteral(
                " IF EXISTS (SELECT 1 FROM ONLY public.users WHERE name = p_name) THEN"
                "  RAISE EXCEPTION '% is still a user of this store', quote_ident(p_name)"
                "   USING ERRCODE = 'insufficient_privilege';"
                " END IF;"
                " IF EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid"
                "  JOIN pg_roles r ON r.oid = m.member WHERE g.rolname = marker AND r.rolname = p_name) THEN"
                "  EXECUTE 'REVOKE ' || quote_ident(marker) || ' FROM ' || quote_ident(p_name);"
                " END IF; END"));
    s << FollowStateFunction();
    // The functions to the roles role, callable by administrators (the owner's members) only;
    // CREATEROLE taken from every administrator, the runner's own last.
    s << head +
             QStringLiteral(
                 " EXECUTE 'REVOKE ALL ON FUNCTION zpprole.create_login(text, text),"
                 "  zpprole.set_password(text, text), zpprole.forget_login(text), zpprole.follow_state(text)"
                 "  FROM PUBLIC';"
                 " EXECUTE 'GRANT USAGE ON SCHEMA zpprole TO ' || quote_ident(owner);"
                 " EXECUTE 'GRANT EXECUTE ON FUNCTION zpprole.create_login(text, text),"
                 "  zpprole.set_password(text, text), zpprole.forget_login(text), zpprole.follow_state(text)"
                 "  TO ' || quote_ident(owner);"
                 " EXECUTE 'ALTER FUNCTION zpprole.create_login(text, text) OWNER TO ' || quote_ident(roles);"
                 " EXECUTE 'ALTER FUNCTION zpprole.set_password(text, text) OWNER TO ' || quote_ident(roles);"
                 " EXECUTE 'ALTER FUNCTION zpprole.forget_login(text) OWNER TO ' || quote_ident(roles);"
                 " EXECUTE 'ALTER FUNCTION zpprole.follow_state(text) OWNER TO ' || quote_ident(roles);"
                 " IF NOT super THEN"
                 "  EXECUTE 'REVOKE ' || quote_ident(roles) || ' FROM ' || quote_ident(me); END IF;"
                 " FOR r IN SELECT p.rolname FROM pg_roles p WHERE p.rolcreaterole AND NOT p.rolsuper"
                 "  AND p.rolname <> roles AND p.rolname IN (SELECT name FROM public.users)"
                 "  AND pg_has_role(p.oid, owner, 'MEMBER') ORDER BY p.rolname = me LOOP"
                 "  EXECUTE 'ALTER ROLE ' || quote_ident(r) || ' NOCREATEROLE';"
                 " END LOOP; END $m$");
    return s;
}

} // namespace zpp::store
