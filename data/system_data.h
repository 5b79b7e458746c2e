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

void initSystemData();
