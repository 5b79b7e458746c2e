// The extension directory: accommodation positions, their slots and the names stored for them.
#pragma once

#include <cstddef>

#include "data/phonebook_records.h"

// The position rules are inline: the speed-dial setter asks them for every entry it stores.
//
// Slot of a position that has one (101-160, 201-256, 301-356, 401-456, 601-616, 700-754,
// 761-846), else -1.
inline int extensionSlot(int position) {
  if (position >= 101 && position <= 160) return position - 101;
  if (position >= 201 && position <= 256) return position - 141;
  if (position >= 301 && position <= 356) return position - 185;
  if (position >= 401 && position <= 456) return position - 229;
  if (position >= 601 && position <= 616) return position - 373;
  if (position >= 700 && position <= 754) return position - 456;
  if (position >= 761 && position <= 846) return position - 462;
  return -1;
}

// Extension-directory slot of an accommodation position; kNoSlot (255) when it has none.
// Position 711 also has slot 255, so never test the result against 255 alone: use
// extensionSlot() to tell a real slot from none.
inline int positionToSlot(int position) {
  const int slot = extensionSlot(position);
  return slot < 0 ? kNoSlot : slot;
}

// Index 0-227 of an extension position's private list, else -1.
inline int privateListIndex(int position) {
  const int slot = extensionSlot(position);
  return slot >= 0 && slot < kPrivateListCount ? slot : -1;
}

// An extension terminal's position: 101-160, 201-256, 301-356, 401-456.
inline bool isExtensionPosition(int value) { return privateListIndex(value) >= 0; }

// Directory 0 of an image (385 slots) lies at the place the current memoryMode keeps it: under
// memory count 2 in the space of speed-dial entries 1000 and up, else after the speed-dial table.
// Its slots are reached only by copying in and out, so the same bytes are never read through
// two record types.
//
// Byte offset of directory 0 within a PhonebookImage.
std::size_t extensionDirectoryOffset();
// A copy of slot 0-384 of directory 0 of `image`.
ExtensionEntry loadExtensionSlot(const PhonebookImage& image, int slot);
// `entry` copied into slot 0-384 of directory 0 of `image`.
void storeExtensionSlot(PhonebookImage& image, int slot, const ExtensionEntry& entry);

// Stores the entry of `position` in directory d (only 0 exists). Returns 1 when stored, 0 when
// the directory or position is rejected (nothing changes). f is altered as the speed-dial name
// and reading are; the extension number ends at its first blank or comma.
int setExtensionEntry(int d, int position, ExtensionFields& f);
// The entry of `position` in directory d; always 1. A rejected position gives an empty f.
int getExtensionEntry(int d, int position, ExtensionFields& f);

// The directories of the three images cleared, the built-in entries 700-846 placed in each, the
// extension numbers of the terminal positions set to their positions in the live and baseline
// images.
void initExtensionDirectories();
