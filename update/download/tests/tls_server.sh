#!/bin/sh
# tls_server.sh CADIR DIR PORT NAME
# Serves the files of DIR over HTTPS on 127.0.0.1:PORT, each file holding a complete HTTP
# response, with a certificate for NAME issued by the throw-away root in CADIR (made when
# missing). Writes DIR/pid; the server ends by itself after 60 s at the latest.
set -e
ca=$1
cd "$2"
port=$3
name=$4
if [ ! -f "$ca/ca.pem" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 2 \
    -subj "/CN=Zep Test Root" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
fi
openssl req -newkey rsa:2048 -nodes -keyout leaf.key -out leaf.csr -subj "/CN=$name" >/dev/null 2>&1
printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n' "$name" > leaf.ext
openssl x509 -req -in leaf.csr -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial -days 2 -extfile leaf.ext \
  -out leaf.pem >/dev/null 2>&1
echo $$ > pid
# -HTTP: the file is the whole response, so it can carry a Content-Length.
exec timeout 60 openssl s_server -quiet -HTTP -accept "127.0.0.1:$port" -cert leaf.pem -key leaf.key \
  -cert_chain "$ca/ca.pem" >server.log 2>&1 </dev/null
