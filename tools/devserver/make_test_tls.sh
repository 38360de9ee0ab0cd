#!/usr/bin/env bash
# make_test_tls.sh OUTDIR: a test certificate authority and the devserver's
# HTTPS certificate issued by it for 127.0.0.1 and localhost.
#   OUTDIR/ca.pem, ca-key.pem       the root (name it in Hosts/TlsCaFile)
#   OUTDIR/server.pem, server-key.pem  the devserver's (--tls-cert, --tls-key)
set -euo pipefail
out=$1
mkdir -p "$out"
work=$(mktemp -d "$out/.make.XXXXXX")
trap 'rm -rf "$work"' EXIT
ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)

openssl req -x509 -new "${ec[@]}" -keyout "$work/ca-key.pem" -out "$work/ca.pem" -days 3650 \
  -subj "/CN=Zembra test TLS root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -x509 -new "${ec[@]}" -keyout "$work/server-key.pem" -out "$work/server.pem" -days 825 \
  -subj "/CN=127.0.0.1" -CA "$work/ca.pem" -CAkey "$work/ca-key.pem" \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" -addext "basicConstraints=critical,CA:FALSE" \
  -addext "extendedKeyUsage=serverAuth" 2>/dev/null
openssl verify -CAfile "$work/ca.pem" "$work/server.pem" >/dev/null
chmod 600 "$work"/*-key.pem
mv "$work"/*.pem "$out/"
