#include "tests/pop3server/TestPki.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvel {

namespace {

const char* const Script = R"(set -e
cd "$1"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
# Wine's crypt32 (8.0) refuses an ECDSA signature whose r or s is shorter than
# 32 bytes (about one signature in 64), which would fail valid certificates in
# the Windows build's tests: such a signature is made again.
fullsig() {  # certificate
  openssl x509 -in "$1" -outform DER -out "$1.der"
  at=$(openssl asn1parse -inform DER -in "$1.der" | tail -1 | cut -d: -f1)
  full=$(openssl asn1parse -inform DER -in "$1.der" -strparse "$at" |
    awk -F: '/INTEGER/ { v = $NF; sub(/^00/, "", v); if (length(v) == 64) n++ } END { print n + 0 }')
  rm -f "$1.der"
  [ "$full" = 2 ]
}
signed() {  # certificate command...
  out=$1; shift
  tries=0
  until "$@" && fullsig "$out"; do
    tries=$((tries + 1)); [ $tries -lt 40 ] || return 1
  done
}
cat > leaf.ext <<X
basicConstraints=CA:FALSE
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,IP:127.0.0.1
X
cat > other.ext <<X
basicConstraints=CA:FALSE
extendedKeyUsage=serverAuth
subjectAltName=DNS:other.example.invalid
X
for ca in ca ca2; do
  key $ca
  signed $ca.pem openssl req -x509 -new -key $ca.key -subj "/CN=Quorvel $ca" -days 30 -out $ca.pem \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
done
sign() {  # name ca ext
  key $1
  openssl req -new -key $1.key -subj "/CN=$1" -out $1.csr 2>/dev/null
  signed $1.pem openssl x509 -req -in $1.csr -CA $2.pem -CAkey $2.key -CAcreateserial -days 30 -extfile $3 \
    -out $1.pem 2>/dev/null
}
sign good ca leaf.ext
sign other ca other.ext
sign unknown ca2 leaf.ext
for s in self self2; do
  key $s
  signed $s.pem openssl req -x509 -new -key $s.key -subj "/CN=$s" -days 30 -out $s.pem \
    -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -addext extendedKeyUsage=serverAuth 2>/dev/null
done
mkdir -p newcerts; : > index.txt; echo 1000 > serial
cat > ca.cnf <<X
[ ca ]
default_ca = test
[ test ]
dir = .
database = index.txt
new_certs_dir = newcerts
serial = serial
default_md = sha256
policy = anything
unique_subject = no
[ anything ]
commonName = supplied
[ leaf ]
basicConstraints = CA:FALSE
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost,IP:127.0.0.1
X
dated() {  # name start end
  key $1
  openssl req -new -key $1.key -subj "/CN=$1" -out $1.csr 2>/dev/null
  signed $1.pem openssl ca -batch -config ca.cnf -cert ca.pem -keyfile ca.key -in $1.csr -out $1.pem -notext \
    -startdate $2 -enddate $3 -extensions leaf 2>/dev/null
}
dated expired 20200101000000Z 20210101000000Z
dated notyet 20990101000000Z 20991231000000Z
chmod 644 *.key *.pem
)";

std::filesystem::path* Made = nullptr;

void RemoveFolder() {
    if (Made == nullptr) return;
    std::error_code ignored;
    std::filesystem::remove_all(*Made, ignored);
}

}  // namespace

const TestPki& TestPki::Get() {
    static const TestPki pki;
    return pki;
}

TestPki::TestPki() {
    // Straight under /tmp: Dovecot's processes read the files as root does.
    std::string pattern = "/tmp/quorvel-pki-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create the PKI folder");
    Folder = pattern;
    ::chmod(Folder.c_str(), 0755);
    static std::filesystem::path kept;
    kept = Folder;
    Made = &kept;
    std::atexit(RemoveFolder);
    {
        std::ofstream out(Folder / "make.sh");
        out << Script;
    }
    const std::string command = "sh '" + (Folder / "make.sh").string() + "' '" + Folder.string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not make the test certificates");
}

std::string TestPki::Sha256(const std::string& Name) const {
    const std::string command = "openssl x509 -in '" + Cert(Name).string() + "' -noout -fingerprint -sha256";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run openssl");
    std::string text;
    char chunk[256];
    while (std::fgets(chunk, sizeof(chunk), pipe) != nullptr) text += chunk;
    ::pclose(pipe);
    std::string hex;
    const std::size_t equals = text.find('=');
    for (std::size_t i = equals == std::string::npos ? 0 : equals + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') hex += c;
        if (c >= 'A' && c <= 'F') hex += static_cast<char>(c - 'A' + 'a');
        if (c >= 'a' && c <= 'f') hex += c;
    }
    return hex;
}

}  // namespace quorvel
