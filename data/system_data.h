// The data model's start-up initialisation.
//
// initSystemData() puts every table of the data model back to its start-up contents: the
// phonebook images empty and then given their defaults (memory count 1, blank user-information
// fields, the built-in extension entries and the default extension numbers), the private
// speed-dial lists empty, the restriction-number tables and both call histories cleared. It
// does not touch the flags of data/process_state.h other than memoryMode. The application runs
// it once at start-up; every test that touches the tables starts with
// `initProcessState(); initSystemData();`.
#pragma once

#include <cstddef>

void initSystemData();

// Sets `size` bytes at `table` to zero, as memset does, without writing the whole pages inside
// the range: those are handed back to the system, which gives zero-filled pages on the next
// touch. Clearing a table that is still untouched (every table at process start) therefore
// costs almost nothing, and a cleared table holds no memory until it is used again.
//
// `table` must be an object of static storage duration without an initialiser (a zero-
// initialised table) or memory from an anonymous private mapping: only there does a page
// handed back come back as zeros. Nothing else may live in the range. Falls back to memset
// where the system refuses.
void zeroTableStorage(void* table, std::size_t size);

// Sets `size` bytes at `table` to `byte`, as memset does, for a table that is about to be used:
// its pages are made present with one request to the system first, which costs less than
// taking a page fault on each of them. Any writable memory.
void fillTableStorage(void* table, std::size_t size, unsigned char byte);
