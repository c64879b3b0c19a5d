/*
 * ZELKORSEC: the security library of protected game files. A shared library
 * (ZELKORSEC.so, ZELKORSEC.dll) loaded at run time; its four exports have C linkage
 * (and __stdcall with undecorated names in a 32-bit Windows build).
 *
 * The functions below ARE the file format of every protected file this project writes:
 * changing any constant or step makes every existing file unreadable.
 *
 * Notation. LE32(x) is the 4-byte little-endian two's-complement form of the 32-bit
 * value x. AES_K(B) is the AES-128 encryption (FIPS 197) of the 16-byte block B under
 * the 16-byte key K. "||" joins byte strings. "ZSEC" is the 4 ASCII bytes 5A 53 45 43.
 *
 * ZelkorSecVerify(buffer, length, seed): the check value of a buffer.
 *     n = length when length > 0 and buffer is not NULL, else 0.
 *     h = XXH3_64bits_withSeed(buffer, n, (uint64_t)(uint32_t)seed)   (xxHash 0.8 XXH3)
 *     result = (int32_t)(uint32_t)(h & 0xFFFFFFFF), the low 32 bits of h.
 *
 * ZelkorSecMakeKey(check): a handle naming the key material
 *     K = the first 16 bytes of SHA-256("ZELKORSEC key" || LE32(check))
 *     ("ZELKORSEC key" is those 13 ASCII bytes, no terminator). The handle is a
 *     positive value not in use by another live handle; equal checks may get different
 *     handles that name the same K. It stays valid until passed to ZelkorSecFreeKey.
 *
 * ZelkorSecMangle(buffer, length, seed, key): transforms buffer[0..n) in place, n as
 * for ZelkorSecVerify, with the key material K of handle `key`:
 *     T    = LE32(seed) || LE32(length) || "ZSEC"
 *     V    = AES_K(T || LE32(0))     the initial counter block
 *     H    = AES_K(T || LE32(1))     the chain block
 *     buffer[i] ^= S[i] for 0 <= i < n, where S = AES_K(V) || AES_K(V + 1) || ...,
 *                  V + j being 128-bit big-endian addition modulo 2^128
 *                  (AES-128-CTR of NIST SP 800-38A, counter over the whole block)
 *     result = the int32_t whose LE32 form is H[0..3], the next chain value.
 * Contract: applying it twice with the same seed, length and key restores the bytes;
 * its result depends only on seed, length and key, never on the buffer's contents.
 * An unknown (or freed) handle leaves the buffer unchanged and returns 0.
 *
 * ZelkorSecFreeKey(key): releases the handle. Returns 1 when it was live, 0 when it was
 * unknown (freeing an unknown or already freed handle is harmless).
 *
 * Handles may be made, used and freed from several threads at once. A large buffer may
 * be transformed in slices on a few threads; the bytes are those of one pass. A transform the
 * library cannot carry out (the crypto provider fails or memory runs out) ends the
 * process after a message on standard error: an untransformed buffer must never pass
 * for a transformed one.
 *
 * How a protected file uses them (one-based positions, fields LE32):
 *     1..4    KeyCheck   = Verify(key text, seed 0), mangled with seed 0: chain value c1
 *     5..8    DataCheck  = Verify(plain data, seed c1), mangled with seed c1: chain c2
 *     9..12   Signature  = the file's signature (0 = none), mangled with seed 640271
 *     13..end data       = the plain data mangled with seed c2
 * Each header field is mangled as a 4-byte buffer (length 4). The key handle is
 * MakeKey(Verify(key text, seed 0)). The key text is "640271" for the fixed key, else
 * texts 3, 1 and 2 of the system header joined; it is handed over as UTF-16LE units
 * with length = the number of characters, so the check covers the first L bytes of the
 * UTF-16LE form of an L-character text. A KeyCheck field that unmangles to 0 accepts
 * any key text; the data check decides then.
 */
#ifndef ZELKORSEC_ZELKORSEC_H_
#define ZELKORSEC_ZELKORSEC_H_

#include <stdint.h>

#if defined(_WIN32)
#define ZELKORSEC_CALL __stdcall
#if defined(ZELKORSEC_BUILDING)
#define ZELKORSEC_API __declspec(dllexport)
#else
#define ZELKORSEC_API __declspec(dllimport)
#endif
#else
#define ZELKORSEC_CALL
#define ZELKORSEC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecVerify(const void* buffer, int32_t length,
                                                     int32_t seed);
ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMangle(void* buffer, int32_t length, int32_t seed,
                                                     int32_t key);
ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecMakeKey(int32_t check);
ZELKORSEC_API int32_t ZELKORSEC_CALL ZelkorSecFreeKey(int32_t key);

/* The exports as function pointers, for loaders that resolve them by name. */
typedef int32_t(ZELKORSEC_CALL* ZelkorSecVerifyFn)(const void*, int32_t, int32_t);
typedef int32_t(ZELKORSEC_CALL* ZelkorSecMangleFn)(void*, int32_t, int32_t, int32_t);
typedef int32_t(ZELKORSEC_CALL* ZelkorSecMakeKeyFn)(int32_t);
typedef int32_t(ZELKORSEC_CALL* ZelkorSecFreeKeyFn)(int32_t);

#ifdef __cplusplus
}
#endif

#endif /* ZELKORSEC_ZELKORSEC_H_ */
