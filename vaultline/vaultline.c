#include "vaultline/vaultline.h"

#include <pthread.h>
#include <sodium.h>
#include <stdlib.h>
#include <string.h>

#include "vaultline/vaultline_stream.h"

typedef struct VltKey {
  int handle;
  VltStream send;
  VltStream recv;
} VltKey;

/* The live keys. One lock guards the table and every cipher call, so a key cannot be destroyed
 * while another thread is using it. */
static pthread_mutex_t tableLock = PTHREAD_MUTEX_INITIALIZER;
static VltKey** keys = NULL;
static size_t keyCount = 0;
static size_t keyCapacity = 0;
static int lastHandle = 0;

static const unsigned char zeroNonce[12] = {0};

static VltKey* findKey(int handle) {
  for (size_t i = 0; i < keyCount; ++i)
    if (keys[i]->handle == handle) return keys[i];
  return NULL;
}

static int nextHandle(void) {
  do {
    lastHandle = lastHandle == 0x7fffffff ? 1 : lastHandle + 1;
  } while (findKey(lastHandle) != NULL);
  return lastHandle;
}

/* Adds a key made from `material`; the caller holds the lock. */
static int addKey(const unsigned char material[64], int peer) {
  if (keyCount == keyCapacity) {
    size_t capacity = keyCapacity ? keyCapacity * 2 : 8;
    VltKey** grown = (VltKey**)realloc(keys, capacity * sizeof *grown);
    if (grown == NULL) return 0;
    keys = grown;
    keyCapacity = capacity;
  }
  VltKey* key = (VltKey*)sodium_malloc(sizeof *key);
  if (key == NULL) return 0;
  const unsigned char* toolToUnit = material;
  const unsigned char* unitToTool = material + 32;
  vltStreamInit(&key->send, peer ? unitToTool : toolToUnit, zeroNonce, 0);
  vltStreamInit(&key->recv, peer ? toolToUnit : unitToTool, zeroNonce, 0);
  key->handle = nextHandle();
  keys[keyCount++] = key;
  return key->handle;
}

int VLT_KeyCreate(unsigned char material[64]) {
  if (material == NULL || sodium_init() < 0) return 0;
  randombytes_buf(material, 64);
  pthread_mutex_lock(&tableLock);
  int handle = addKey(material, 0);
  pthread_mutex_unlock(&tableLock);
  return handle;
}

int VLT_KeyImport(const unsigned char material[64], int peer) {
  if (material == NULL || sodium_init() < 0) return 0;
  pthread_mutex_lock(&tableLock);
  int handle = addKey(material, peer == 1);
  pthread_mutex_unlock(&tableLock);
  return handle;
}

int VLT_KeyDestroy(int handle) {
  int result = -1;
  pthread_mutex_lock(&tableLock);
  for (size_t i = 0; i < keyCount; ++i) {
    if (keys[i]->handle != handle) continue;
    VltKey* key = keys[i];
    keys[i] = keys[--keyCount];
    vltStreamWipe(&key->send);
    vltStreamWipe(&key->recv);
    sodium_free(key);
    result = 0;
    break;
  }
  pthread_mutex_unlock(&tableLock);
  return result;
}

static int cipher(int handle, int count, const unsigned char* in, unsigned char* out, int sending) {
  if (count < 0 || (count > 0 && (in == NULL || out == NULL))) return -1;
  pthread_mutex_lock(&tableLock);
  VltKey* key = findKey(handle);
  if (key != NULL && count > 0)
    vltStreamXor(sending ? &key->send : &key->recv, in, out, (size_t)count);
  pthread_mutex_unlock(&tableLock);
  return key != NULL ? 0 : -1;
}

int VLT_SendEncrypt(int handle, int count, const unsigned char* in, unsigned char* out) {
  return cipher(handle, count, in, out, 1);
}

int VLT_RecvDecrypt(int handle, int count, const unsigned char* in, unsigned char* out) {
  return cipher(handle, count, in, out, 0);
}
