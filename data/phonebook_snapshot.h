// The phonebook image as a whole: the editor's copies, the reset and the start-up defaults.
#pragma once

#include "data/phonebook_records.h"

// The live image copied into baselineImage and referenceImage.
void snapshotPhonebook();
// baselineImage copied over the live image.
void restorePhonebook();
// The phonebook part of the start-up initialisation: memory count 1, the user-information
// fields blank, the extension directories cleared and the built-in entries 700-846 placed in
// all three images, the extension numbers of the terminal positions set to their positions in
// the live and baseline images.
void initPhonebookDefaults();
// Zeroes the three images, the templates and the private lists (all slots -1, counts 0) with
// their counter, blanks the work lines and the user-information fields. Called before
// initPhonebookDefaults by the start-up initialisation. The write baseline
// (data/phonebook_baseline.h) is emptied with them. Parts of the images that nothing has
// touched since the last reset (at process start: all of them but the live speed-dial table)
// cost next to nothing to clear and take no memory until they are used.
void resetPhonebookTables();
