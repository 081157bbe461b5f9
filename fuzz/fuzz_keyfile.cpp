// The key-file reader on any bytes, with a fixed password.
#include "keyfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const otrx::SecretBytes file(data, size);
    otrx::DecodedKey key;
    (void)otrx::decodePrivateKey(file, "1234qwer!", key);
    return 0;
}
