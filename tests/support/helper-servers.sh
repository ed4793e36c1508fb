#!/usr/bin/env bash
# Starts or stops the HTTPS and proxy helper servers natively for a test program that cannot
# start them itself (a Windows program under wine): certificates made by openssl, then
# tls_server.py with the CA-signed and with a self-signed certificate, and proxy_server.py.
# Each server's port goes to <folder>/<name>.port. The servers end by themselves after five
# minutes at the latest.
#   helper-servers.sh start|stop <folder>
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
# The system interpreter, as the Linux tests take it: a python3 on PATH may be a slow shim.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
export python

stop() {
  for pid_file in "$dir"/*.pid; do
    [ -f "$pid_file" ] && kill -- -"$(cat "$pid_file")" 2>/dev/null || true
  done
  rm -rf "$dir"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi
stop
mkdir -p "$dir"
cd "$dir"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
{
  openssl req -x509 $key -keyout ca.key -out ca.pem -subj '/CN=Wavlon Test CA'
  openssl req $key -keyout server.key -out server.csr -subj '/CN=127.0.0.1'
  printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' > san.ext
  openssl x509 -req -days 2 -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -out server.pem -extfile san.ext
  openssl req -x509 $key -keyout self.key -out self.pem -subj '/CN=127.0.0.1' \
    -addext 'subjectAltName=IP:127.0.0.1'
} >/dev/null 2>&1

# A server stops when its stdin closes: a sleeping writer keeps it open for the lifetime. Each
# runs in a session of its own, so that stopping ends the writer and the server together.
serve() {
  local name=$1
  shift
  setsid bash -c 'sleep 300 | "$python" "$@"' serve "$here/$1" "${@:2}" \
    </dev/null >"$name.port" 2>/dev/null &
  echo $! >"$name.pid"
}
serve trusted tls_server.py server.pem server.key
serve untrusted tls_server.py self.pem self.key
serve proxy proxy_server.py proxy-user proxy-secret
for name in trusted untrusted proxy; do
  for _ in $(seq 100); do
    [ -s "$name.port" ] && break
    sleep 0.1
  done
  [ -s "$name.port" ] || { echo "$name server did not start" >&2; exit 1; }
done
