// The cryptographic building blocks from the system's CNG (bcrypt.dll, Windows). CNG
// has no counter mode for AES: the counter blocks are made here and encrypted in ECB.

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "zelkorsec/crypto.h"

namespace zelkorsec::crypto {
namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

// Algorithm providers are opened once per process; they may be used from several
// threads at once (key and hash objects may not, and are made per call).
BCRYPT_ALG_HANDLE openProvider(const wchar_t* algorithm, const wchar_t* chainingMode) {
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!succeeded(BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, 0))) {
    fail("the system's crypto provider is not available");
  }
  if (chainingMode != nullptr) {
    const auto bytes = static_cast<ULONG>((wcslen(chainingMode) + 1) * sizeof(wchar_t));
    if (!succeeded(BCryptSetProperty(provider, BCRYPT_CHAINING_MODE,
                                     reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(chainingMode)),
                                     bytes, 0))) {
      fail("AES-128 in ECB mode is not available");
    }
  }
  return provider;
}

BCRYPT_ALG_HANDLE aesEcb() {
  static const BCRYPT_ALG_HANDLE provider =
      openProvider(BCRYPT_AES_ALGORITHM, BCRYPT_CHAIN_MODE_ECB);
  return provider;
}

BCRYPT_ALG_HANDLE sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = openProvider(BCRYPT_SHA256_ALGORITHM, nullptr);
  return provider;
}

// One AES-128 key object, destroyed with this.
class AesKey {
 public:
  explicit AesKey(const KeyMaterial& key) {
    KeyMaterial secret = key;  // the call takes a non-const pointer
    const NTSTATUS status =
        BCryptGenerateSymmetricKey(aesEcb(), &handle_, nullptr, 0, secret.data(), ULONG{16}, 0);
    cleanse(secret.data(), secret.size());
    if (!succeeded(status)) fail("cannot set up AES-128");
  }
  ~AesKey() { BCryptDestroyKey(handle_); }
  AesKey(const AesKey&) = delete;
  AesKey& operator=(const AesKey&) = delete;

  // ECB over whole blocks; CNG takes a 32-bit count, hence the slices.
  void encrypt(const uint8_t* in, uint8_t* out, size_t size) const {
    constexpr size_t kSlice = size_t{1} << 30;
    while (size > 0) {
      const size_t step = std::min(size, kSlice);
      ULONG written = 0;
      if (!succeeded(BCryptEncrypt(handle_, const_cast<PUCHAR>(in), static_cast<ULONG>(step),
                                   nullptr, nullptr, 0, out, static_cast<ULONG>(step), &written,
                                   0)) ||
          written != step) {
        fail("AES-128 failed");
      }
      in += step;
      out += step;
      size -= step;
    }
  }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

}  // namespace

Digest sha256(const uint8_t* bytes, size_t size) {
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!succeeded(BCryptCreateHash(sha256Provider(), &hash, nullptr, 0, nullptr, 0, 0))) {
    fail("SHA-256 failed");
  }
  bool ok = true;
  constexpr size_t kSlice = size_t{1} << 30;
  while (ok && size > 0) {
    const size_t step = std::min(size, kSlice);
    ok = succeeded(BCryptHashData(hash, const_cast<PUCHAR>(bytes), static_cast<ULONG>(step), 0));
    bytes += step;
    size -= step;
  }
  Digest digest{};
  ok = ok && succeeded(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  BCryptDestroyHash(hash);
  if (!ok) fail("SHA-256 failed");
  return digest;
}

void encryptBlocks(const KeyMaterial& key, const uint8_t* in, uint8_t* out, size_t size) {
  AesKey(key).encrypt(in, out, size);
}

void xorCounterStream(const KeyMaterial& key, const Block& counter, uint8_t* bytes, size_t size) {
  const AesKey aes(key);
  // The keystream is made a chunk at a time: counter blocks, encrypted in place.
  constexpr size_t kChunkBlocks = 4096;
  std::vector<uint8_t> stream(std::min(size + 15, kChunkBlocks * 16) / 16 * 16);
  Block next = counter;
  while (size > 0) {
    const size_t chunk = std::min(size, stream.size());
    const size_t blocks = (chunk + 15) / 16;
    for (size_t b = 0; b < blocks; ++b) {
      std::copy(next.begin(), next.end(), stream.begin() + static_cast<ptrdiff_t>(16 * b));
      next = counterAfter(next, 1);
    }
    aes.encrypt(stream.data(), stream.data(), blocks * 16);
    for (size_t i = 0; i < chunk; ++i) bytes[i] ^= stream[i];
    bytes += chunk;
    size -= chunk;
  }
  cleanse(stream.data(), stream.size());
  cleanse(next.data(), next.size());
}

void cleanse(void* bytes, size_t size) { SecureZeroMemory(bytes, size); }

}  // namespace zelkorsec::crypto
