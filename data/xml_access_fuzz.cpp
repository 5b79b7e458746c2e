// Fuzzes the XML helper: every input is loaded as a document and each element the tool looks
// for is read in every way the converters read it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/fuzz_scratch.h"
#include "data/xml_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const names[] = {"root",   "systan",     "systanf",    "naisen", "m046",
                                      "m018",   "naityaklog", "gaityaklog", "USER",   "CHECK"};
  CXMLAccess xml;
  if (!xml.Load(fuzzscratch::write("input.xml", data, size))) return 0;
  for (const char* name : names) {
    const CXMLElementList list = xml.GetElements(name);
    for (int i = 0; i <= list.Length(); ++i) {  // one past the end must be an invalid element
      const CXMLElement e = list.Item(i);
      if (e.IsValid() != (i < list.Length())) __builtin_trap();
      (void)e.TagName();
      (void)e.TextContent();
      (void)e.HasChild();
      (void)e.FirstChildText();
    }
  }
  return 0;
}
