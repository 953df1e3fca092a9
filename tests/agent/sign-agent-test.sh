#!/usr/bin/env bash
# Signs copies of the built agent program and package with a throwaway self-made certificate
# through scripts/sign-agent, then checks both signatures verify, and that a changed byte breaks it.
# Usage: sign-agent-test.sh AGENT_BUILD_DIR     Exit 77 = skipped (not built, tools missing).
set -euo pipefail
src="$(cd "$(dirname "$0")/../.." && pwd)"
agent_dir="$1"
skip() {
  if [ "${VC_AGENT_E2E_REQUIRED:-0}" = 1 ]; then echo "FAIL: $*"; exit 1; fi
  echo "SKIP: $*"; exit 77
}
for tool in osslsigncode openssl; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
[ -f "$agent_dir/VCWorkstation.msi" ] || skip "agent not built (scripts/build-agent)"
work="$(mktemp -d "${TMPDIR:-/tmp}/vc-sign.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/win32"
cp "$agent_dir/win32/VCWorkstation.exe" "$work/build/win32/"
cp "$agent_dir/VCWorkstation.msi" "$work/build/"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Vellumcrest Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
printf 'test-only\n' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/password" -out "$work/site.pfx"
"$src/scripts/sign-agent" --pfx "$work/site.pfx" --password-file "$work/password" --ca "$work/cert.pem" "$work/build"
for f in "$work/build/win32/VCWorkstation.exe" "$work/build/VCWorkstation.msi"; do
  osslsigncode verify -CAfile "$work/cert.pem" -in "$f" >/dev/null 2>&1 || { echo "FAIL: $f does not verify"; exit 1; }
done
# A changed byte in the signed program must not verify.
python3 - "$work/build/win32/VCWorkstation.exe" <<'PY'
import sys
p = sys.argv[1]
data = bytearray(open(p, 'rb').read())
data[4096] ^= 0xFF
open(p, 'wb').write(data)
PY
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/build/win32/VCWorkstation.exe" >/dev/null 2>&1; then
  echo "FAIL: a changed program still verifies"; exit 1
fi
echo "PASS: program and package signed and verified"
