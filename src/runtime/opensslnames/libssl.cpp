// Debian 12's CivetWeb 1.15 opens OpenSSL as "libssl.so" and looks up the 1.1 names;
// OpenSSL 3 no longer exports SSL_get_peer_certificate, and CivetWeb calls the null
// pointer on the first TLS connection. Loaded before CivetWeb starts, this library
// (its soname is libssl.so) is the one CivetWeb gets: the old name, and every other
// through its dependency, the system's libssl.so.3.
#include <openssl/ssl.h>

#undef SSL_get_peer_certificate

extern "C" __attribute__((visibility("default"))) X509* SSL_get_peer_certificate(const SSL* ssl) {
    return SSL_get1_peer_certificate(ssl);  // the same reference counting as 1.1's
}
