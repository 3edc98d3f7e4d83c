// The soname libcrypto.so for CivetWeb's lookup; every name comes from its
// dependency, the system's libcrypto.so.3.
#include <openssl/crypto.h>

extern "C" __attribute__((visibility("default"))) unsigned long zampo_crypto_version() {
    return OpenSSL_version_num();  // keeps the dependency on libcrypto.so.3
}
