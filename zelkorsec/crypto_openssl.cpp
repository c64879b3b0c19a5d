// The cryptographic building blocks from OpenSSL (Linux and other POSIX systems).

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>

#include "zelkorsec/crypto.h"

namespace zelkorsec::crypto {
namespace {

// The ciphers are fetched once per process: an implicit fetch per call would cost a
// provider look-up on every header field.
const EVP_CIPHER* cipher(const char* name) {
  EVP_CIPHER* fetched = EVP_CIPHER_fetch(nullptr, name, nullptr);
  if (fetched == nullptr) fail("AES-128 is not available");
  return fetched;
}

const EVP_CIPHER* aesEcb() {
  static const EVP_CIPHER* const ecb = cipher("AES-128-ECB");
  return ecb;
}

const EVP_CIPHER* aesCtr() {
  static const EVP_CIPHER* const ctr = cipher("AES-128-CTR");
  return ctr;
}

struct ContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// Runs `cipher` under `key` (and `iv` for a counter mode) over `size` bytes of `in` into
// `out`, which may be the same buffer. EVP takes an int count, hence the slices.
void run(const EVP_CIPHER* cipher, const KeyMaterial& key, const uint8_t* iv, const uint8_t* in,
         uint8_t* out, size_t size) {
  Context context(EVP_CIPHER_CTX_new());
  if (!context) fail("out of memory");
  if (EVP_EncryptInit_ex2(context.get(), cipher, key.data(), iv, nullptr) != 1) {
    fail("cannot set up AES-128");
  }
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  constexpr size_t kSlice = size_t{1} << 30;
  while (size > 0) {
    const size_t step = size < kSlice ? size : kSlice;
    int written = 0;
    if (EVP_EncryptUpdate(context.get(), out, &written, in, static_cast<int>(step)) != 1 ||
        static_cast<size_t>(written) != step) {
      fail("AES-128 failed");
    }
    in += step;
    out += step;
    size -= step;
  }
}

}  // namespace

Digest sha256(const uint8_t* bytes, size_t size) {
  Digest digest{};
  unsigned int digestSize = 0;
  if (EVP_Digest(bytes, size, digest.data(), &digestSize, EVP_sha256(), nullptr) != 1 ||
      digestSize != digest.size()) {
    fail("SHA-256 failed");
  }
  return digest;
}

void encryptBlocks(const KeyMaterial& key, const uint8_t* in, uint8_t* out, size_t size) {
  run(aesEcb(), key, nullptr, in, out, size);
}

// OpenSSL's own counter mode counts over the whole 128-bit block, as the format does.
void xorCounterStream(const KeyMaterial& key, const Block& counter, uint8_t* bytes, size_t size) {
  run(aesCtr(), key, counter.data(), bytes, bytes, size);
}

void cleanse(void* bytes, size_t size) { OPENSSL_cleanse(bytes, size); }

}  // namespace zelkorsec::crypto
