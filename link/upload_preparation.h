// Upload preparation: the staged work files of a work folder split into the upload blocks a
// transfer run serves to the main unit.
//
// Every block of the family that exists afterwards was made by the call: the old ones are removed
// first, and a preparation that cannot finish (no staged file, a block that cannot be created or
// written) removes what it made, so the upload fails instead of sending an old or cut block.
#pragma once

#include <string>

// sys-tan.txt (familyFlag 0) or sys-tanf.txt (familyFlag 1, the 10-column form) into its 20
// blocks.
void prepareSpeedDialBlocks(const std::string& workDir, int familyFlag);
// naisen.txt into its five blocks.
void prepareExtensionBlocks(const std::string& workDir);
// hkiseinotmp.txt into the ten restriction blocks.
void prepareRestrictionBlocks(const std::string& workDir);
// usertkbntmp.txt into usertkbn.txt.
void prepareTemplateBlock(const std::string& workDir);
