#include "vaultline/vaultline_stream.h"

#include <sodium.h>
#include <string.h>

void vltStreamInit(VltStream* stream, const unsigned char key[32], const unsigned char nonce[12],
                   uint32_t firstBlock) {
  memcpy(stream->key, key, sizeof stream->key);
  memcpy(stream->nonce, nonce, sizeof stream->nonce);
  stream->offset = (uint64_t)firstBlock * 64u;
  stream->cachedBlock = 0;
  stream->cacheValid = 0;
}

/* Keystream of one whole block, kept for calls that start or end inside it. */
static const unsigned char* blockKeystream(VltStream* stream, uint64_t index) {
  if (!stream->cacheValid || stream->cachedBlock != index) {
    memset(stream->block, 0, sizeof stream->block);
    crypto_stream_chacha20_ietf_xor_ic(stream->block, stream->block, sizeof stream->block,
                                       stream->nonce, (uint32_t)index, stream->key);
    stream->cachedBlock = index;
    stream->cacheValid = 1;
  }
  return stream->block;
}

void vltStreamXor(VltStream* stream, const unsigned char* in, unsigned char* out, size_t count) {
  size_t done = 0;
  size_t within = (size_t)(stream->offset % 64u);
  if (count > 0 && within != 0) {
    const unsigned char* ks = blockKeystream(stream, stream->offset / 64u);
    size_t take = 64u - within;
    if (take > count) take = count;
    for (size_t i = 0; i < take; ++i) out[i] = (unsigned char)(in[i] ^ ks[within + i]);
    done = take;
    stream->offset += take;
  }
  if (done < count) {
    /* The rest starts on a block boundary: whole blocks and a final partial one at once. */
    crypto_stream_chacha20_ietf_xor_ic(out + done, in + done, count - done, stream->nonce,
                                       (uint32_t)(stream->offset / 64u), stream->key);
    stream->offset += count - done;
  }
}

void vltStreamWipe(VltStream* stream) { sodium_memzero(stream, sizeof *stream); }
