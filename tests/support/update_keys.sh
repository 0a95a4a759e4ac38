# Sourced by the shell tests of the verified downloads: makes a key pair and signatures with
# openssl, as scripts/sign-update does for a real update.
#   update_keys_make FOLDER   writes FOLDER/key.pem (private), FOLDER/pub.der (the public half as
#                             the program carries it) and FOLDER/other.pem (another key)
#   update_sign KEY FILE [OUT]  writes OUT (default FILE.sig)
update_keys_make() {
  openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out "$1/key.pem" 2>/dev/null
  openssl pkey -in "$1/key.pem" -pubout -outform DER -out "$1/pub.der"
  openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1/other.pem" 2>/dev/null
}

update_sign() {
  openssl dgst -sha256 -sign "$1" -out "${3:-$2.sig}" "$2"
}
