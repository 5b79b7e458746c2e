/* One ChaCha20-IETF keystream read from a byte offset: the building block of a vaultline key.
 * Internal to the library and its tests. */
#ifndef VAULTLINE_VAULTLINE_STREAM_H
#define VAULTLINE_VAULTLINE_STREAM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VltStream {
  unsigned char key[32];
  unsigned char nonce[12];
  uint64_t offset;      /* next keystream byte */
  uint64_t cachedBlock; /* block whose keystream `block` holds, when cacheValid */
  int cacheValid;
  unsigned char block[64];
} VltStream;

/* Starts the stream of `key` and `nonce` at the first byte of block `firstBlock`. */
void vltStreamInit(VltStream* stream, const unsigned char key[32], const unsigned char nonce[12],
                   uint32_t firstBlock);
/* out[i] = in[i] ^ the next `count` keystream bytes; `in` may equal `out`. */
void vltStreamXor(VltStream* stream, const unsigned char* in, unsigned char* out, size_t count);
/* Wipes key, nonce and cached keystream. */
void vltStreamWipe(VltStream* stream);

#ifdef __cplusplus
}
#endif

#endif
