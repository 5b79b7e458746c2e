/* vaultline: the cipher of the link between the tool and the main unit.
 *
 * A key is 64 bytes of material and a handle. Each handle carries two keystreams, ChaCha20 in
 * the IETF form (32-byte key, 12-byte nonce of zeros, 32-bit block counter from 0):
 *   the tool-to-unit stream keyed by material[0..31],
 *   the unit-to-tool stream keyed by material[32..63].
 * The tool creates the key (VLT_KeyCreate) and hands the material to the main unit, which
 * imports it with the two roles swapped (VLT_KeyImport with peer 1).
 *
 * VLT_SendEncrypt XORs the next `count` bytes of the handle's sending stream into the data,
 * VLT_RecvDecrypt the next `count` bytes of its receiving stream. Each stream keeps its own byte
 * offset, so the result never depends on how a byte stream is cut into calls. `in` and `out` may
 * be the same buffer. Calls on different handles may run on different threads at once; calls on
 * one handle are serialised.
 */
#ifndef VAULTLINE_VAULTLINE_H
#define VAULTLINE_VAULTLINE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Fills `material` with 64 random bytes and returns a new non-zero handle for it (the tool's
 * side), or 0 when no handle can be made. */
int VLT_KeyCreate(unsigned char material[64]);

/* Makes a handle from existing material. peer 0 gives the tool's side (as VLT_KeyCreate),
 * peer 1 the main unit's side: it sends on the unit-to-tool stream and receives on the other.
 * Returns the handle, or 0 when no handle can be made. */
int VLT_KeyImport(const unsigned char material[64], int peer);

/* Wipes and releases the key. Returns 0, or -1 for an unknown handle. */
int VLT_KeyDestroy(int handle);

/* Enciphers the next `count` bytes of the sending stream: out[i] = in[i] ^ keystream.
 * Returns 0, or -1 for an unknown handle or a negative count (nothing is written then). */
int VLT_SendEncrypt(int handle, int count, const unsigned char* in, unsigned char* out);

/* Deciphers the next `count` bytes of the receiving stream, as VLT_SendEncrypt does. */
int VLT_RecvDecrypt(int handle, int count, const unsigned char* in, unsigned char* out);

#ifdef __cplusplus
}
#endif

#endif
