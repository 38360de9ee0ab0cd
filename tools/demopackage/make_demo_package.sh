#!/usr/bin/env bash
# make_demo_package.sh OUT_DIR SETUP PRODUCT [--name FILE] [--hang] [--fail] [--install-ms N] [--unsigned] [--size BYTES]
#
# Packs the demo setup and the demo product into one setup package and signs
# it with an appended PKCS#7 signature from a test CA kept in OUT_DIR/ca
# (made on first use). Writes OUT_DIR/FILE and OUT_DIR/FILE.md5. Random filler
# between the setup and the product brings the package to at least BYTES
# (6 MiB): the installer refuses packages below 1 MiB, and a few MiB make it
# arrive in several ranges.
set -euo pipefail

out=$1 setup=$2 product=$3
shift 3
name=zembramorvanta_zembram.exe flags=0 install_ms=1500 sign=1 size=6291456
while [ $# -gt 0 ]; do
  case $1 in
    --name) name=$2; shift ;;
    --hang) flags=1 ;;
    --fail) flags=2 ;;
    --install-ms) install_ms=$2; shift ;;
    --unsigned) sign=0 ;;
    --size) size=$2; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

mkdir -p "$out/ca"
ca=$out/ca
if [ ! -f "$ca/leaf.pem" ]; then
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650 \
    -subj "/CN=Quenrick Demo Root" -keyout "$ca/root.key" -out "$ca/root.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=Quenrick Demo Code Signing" \
    -keyout "$ca/leaf.key" -out "$ca/leaf.csr" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$ca/leaf.ext"
  openssl x509 -req -in "$ca/leaf.csr" -CA "$ca/root.pem" -CAkey "$ca/root.key" -CAcreateserial \
    -days 3650 -extfile "$ca/leaf.ext" -out "$ca/leaf.pem" 2>/dev/null
fi

package=$out/$name
unsigned=$package.unsigned
cp "$setup" "$unsigned"
filler=$(( size - $(stat -c %s "$setup") - $(stat -c %s "$product") - 32 ))
[ "$filler" -gt 0 ] && head -c "$filler" /dev/urandom >>"$unsigned"
offset=$(stat -c %s "$unsigned")
cat "$product" >>"$unsigned"
size=$(stat -c %s "$product")
python3 - "$unsigned" "$offset" "$size" "$flags" "$install_ms" <<'PY'
import struct, sys
path, offset, size, flags, ms = sys.argv[1], *map(int, sys.argv[2:])
with open(path, "ab") as f:
    f.write(struct.pack("<QQII8s", offset, size, flags, ms, b"ZMPAYLD1"))
PY

if [ "$sign" = 1 ]; then
  openssl cms -sign -binary -noattr -outform DER -in "$unsigned" -signer "$ca/leaf.pem" -inkey "$ca/leaf.key" \
    -md sha256 -out "$package.p7s"
  siglen=$(stat -c %s "$package.p7s")
  {
    cat "$unsigned" "$package.p7s"
    python3 -c 'import struct,sys; sys.stdout.buffer.write(struct.pack(">BBBBBxxxI", 0, 0, 2, 0, 0, int(sys.argv[1])))' "$siglen"
    printf '~Module signature appended~\n'
  } >"$package"
  rm -f "$package.p7s"
else
  cp "$unsigned" "$package"
fi
rm -f "$unsigned"
chmod +x "$package"
md5sum "$package" | cut -d' ' -f1 >"$package.md5"
