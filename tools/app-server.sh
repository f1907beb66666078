# Sourced by the tools that run a private quorvant-printer-app server.
#
# start_app_server BINARY DIR [LEVEL]: starts BINARY's server on a random
# loopback port with its state, spool, log (at LEVEL, default warn) and
# control socket in DIR (the sub-commands find it through SNAP_COMMON,
# exported); sets app_port and app_server.
# stop_app_server: ends it, if it runs. app_job_ns: a job's time, below.

start_app_server() {
    app_port=$(awk 'BEGIN { srand(); print 20000 + int(rand() * 20000) }')
    SNAP_COMMON="$2"
    export SNAP_COMMON
    "$1" server -o server-port="$app_port" -o state-file="$2/app.state" -o spool-directory="$2/spool" \
        -o log-file="$2/app.log" -o log-level="${3:-warn}" &
    app_server=$!
    _tries=0
    until [ -S "$2/quorvant-printer-app.sock" ]; do
        _tries=$((_tries + 1))
        [ $_tries -lt 100 ] || return 1
        sleep 0.1
    done
}

stop_app_server() {
    if [ -n "${app_server:-}" ]; then
        kill "$app_server" 2>/dev/null || true
        wait "$app_server" 2>/dev/null || true
        app_server=
    fi
}

# app_job_ns LOG JOB: the time from job JOB's "Starting" line to its
# "Completed" in a server's LOG (written at log level info), in ns; 0 when
# either is missing.
app_job_ns() {
    python3 - "$1" "$2" <<'PY'
import re, sys, datetime
log, job = open(sys.argv[1]).read(), sys.argv[2]
def at(what):
    m = re.search(r'\[(\S+?)Z?\] \[Job ' + job + r'\] ' + what, log)
    return datetime.datetime.fromisoformat(m.group(1)) if m else None
start, end = at('Starting'), at('Completed')
print(int((end - start).total_seconds() * 1e9) if start and end else 0)
PY
}
