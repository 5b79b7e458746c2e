#include "link/upload_preparation.h"

#include <cstdio>
#include <string>
#include <vector>

#include "data/upload_blocks.h"
#include "link/transfer_names.h"

namespace {

// Opens the staged source and the first block of the work directory, both as bytes, and hands
// them to the block maker. Every block of the family that exists afterwards was made by this
// preparation: the old ones are removed first, and a preparation that cannot finish (no source,
// a block that cannot be created or written) removes what it made. An upload can thus never send
// a block left over from an earlier preparation, or one cut short; it fails on the missing block.
template <typename Maker>
void prepareBlocks(const std::string& sourcePath, const std::vector<std::string>& blockPaths,
                   Maker maker) {
  for (const std::string& path : blockPaths) std::remove(path.c_str());
  bool made = false;
  if (std::FILE* source = std::fopen(sourcePath.c_str(), "rb")) {
    if (std::FILE* target = std::fopen(blockPaths.front().c_str(), "wb")) {
      made = maker(source, target, blockPaths.front()) == 1;
      made = std::fclose(target) == 0 && made;
    }
    std::fclose(source);
  }
  if (!made)
    for (const std::string& path : blockPaths) std::remove(path.c_str());
}

}  // namespace

void prepareSpeedDialBlocks(const std::string& workDir, int familyFlag) {
  const bool tenColumn = familyFlag == 1;
  std::vector<std::string> blocks;
  for (int i = 0; i < 20; ++i)
    blocks.push_back(workPath(workDir, speedDialBlockName(i, tenColumn)));
  prepareBlocks(workPath(workDir, tenColumn ? kSpeedDialTenColumnName : kSpeedDialName), blocks,
                [familyFlag](std::FILE* in, std::FILE* out, const std::string& path) {
                  return makeSpeedDialBlocks(in, out, path, speedDialFormOf(familyFlag));
                });
}

void prepareExtensionBlocks(const std::string& workDir) {
  std::vector<std::string> blocks;
  for (const std::string& name : extensionBlockNames()) blocks.push_back(workPath(workDir, name));
  prepareBlocks(workPath(workDir, kExtensionName), blocks,
                [](std::FILE* in, std::FILE* out, const std::string& path) {
                  return makeExtensionBlocks(in, out, path);
                });
}

void prepareRestrictionBlocks(const std::string& workDir) {
  std::vector<std::string> blocks;
  for (const std::string& name : restrictionBlockNames()) blocks.push_back(workPath(workDir, name));
  prepareBlocks(workPath(workDir, "hkiseinotmp.txt"), blocks,
                [](std::FILE* in, std::FILE* out, const std::string& path) {
                  return makeRestrictionBlocks(in, out, path);
                });
}

void prepareTemplateBlock(const std::string& workDir) {
  prepareBlocks(workPath(workDir, "usertkbntmp.txt"), {workPath(workDir, kTemplateName)},
                [](std::FILE* in, std::FILE* out, const std::string& path) {
                  return makeTemplateBlock(in, out, path);
                });
}
