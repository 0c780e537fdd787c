#!/usr/bin/env bash
# start DIR PORT | stop DIR: a throw-away PostgreSQL server on 127.0.0.1 for the tests.
set -euo pipefail
cmd=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
case "$cmd" in
  start)
    port=$3
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    as_pg "$bin/initdb" -D "$dir/data" -A trust -U zpp -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
    # The superuser zpp that makes the test databases is trusted; every other role (the store's
    # users) logs in with its password, as on a real server.
    cat >"$dir/data/pg_hba.conf" <<'HBA'
local all all trust
host all zpp 127.0.0.1/32 trust
host all all 127.0.0.1/32 scram-sha-256
HBA
    as_pg "$bin/pg_ctl" -D "$dir/data" -o "-k $dir -h 127.0.0.1 -p $port -c fsync=off" -l "$dir/log" -w start >/dev/null
    ;;
  stop)
    as_pg "$bin/pg_ctl" -D "$dir/data" -m fast stop >/dev/null 2>&1 || true
    ;;
esac
