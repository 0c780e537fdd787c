# Sourced by scripts/test.sh and scripts/soak.sh (with ROOT set): starts a throw-away PostgreSQL
# server on a loopback port, stops it when the calling script exits, and exports its URL as
# ZPP_TEST_PG_URL.
pgdir=$(mktemp -d /tmp/zpp-pg.XXXXXX)
port=${ZPP_PG_PORT:-$(( 20000 + RANDOM % 20000 ))}
cleanup() { "$ROOT"/scripts/pg-test-server.sh stop "$pgdir"; rm -rf "$pgdir"; }
trap cleanup EXIT
"$ROOT"/scripts/pg-test-server.sh start "$pgdir" "$port"
export ZPP_TEST_PG_URL="postgresql://zpp@127.0.0.1:$port/postgres"
