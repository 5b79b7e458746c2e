#include "data/xml_access.h"

#include <pugixml.hpp>

#include "base/ascii_text.h"
#include "base/platform.h"

namespace {

// Calls visit(node) for every descendant of root in document order, without recursion, so a
// deeply nested hostile document cannot exhaust the stack.
template <typename Visit>
void forEachDescendant(const pugi::xml_node& root, Visit visit) {
  pugi::xml_node current = root.first_child();
  while (current) {
    visit(current);
    if (current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current != root && !current.next_sibling()) current = current.parent();
    if (current == root) break;
    current = current.next_sibling();
  }
}

bool isTextNode(const pugi::xml_node& node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

void appendTextOf(const pugi::xml_node& node, std::string& out) {
  if (isTextNode(node)) {
    out += node.value();
    return;
  }
  forEachDescendant(node, [&out](const pugi::xml_node& n) {
    if (isTextNode(n)) out += n.value();
  });
}

int topLevelElementCount(const pugi::xml_document& document) {
  int count = 0;
  for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) ++count;
  return count;
}

void collectElements(const pugi::xml_node& root, const std::string& tagName,
                     std::vector<pugi::xml_node_struct*>& out) {
  forEachDescendant(root, [&](const pugi::xml_node& n) {
    if (n.type() == pugi::node_element && tagName == n.name()) out.push_back(n.internal_object());
  });
}

}  // namespace

std::string CXMLElement::TagName() const {
  return m_node ? std::string(pugi::xml_node(m_node).name()) : std::string();
}

std::string CXMLElement::TextContent() const {
  std::string text;
  if (m_node) appendTextOf(pugi::xml_node(m_node), text);
  return text;
}

bool CXMLElement::HasChild() const {
  return m_node && pugi::xml_node(m_node).first_child();
}

std::string CXMLElement::FirstChildText() const {
  if (!m_node) return {};
  pugi::xml_node child = pugi::xml_node(m_node).first_child();
  if (!child) return {};
  std::string text;
  appendTextOf(child, text);
  return std::string(trimmed(text, " \t\r\n"));
}

CXMLElement CXMLElementList::Item(int index) const {
  if (index < 0 || index >= Length()) return {};
  return CXMLElement(m_document, m_nodes[static_cast<std::size_t>(index)]);
}

CXMLAccess::CXMLAccess() = default;
CXMLAccess::~CXMLAccess() = default;

bool CXMLAccess::Load(const std::string& path) {
  m_document.reset();
  if (path.empty() || path.size() > kMaxPathBytes) return false;
  auto document = std::make_shared<pugi::xml_document>();
  // encoding_utf8 keeps every byte as it is (Shift_JIS text passes through untouched);
  // parse_default turns CR LF and lone CR into LF and drops text made only of white space.
  pugi::xml_parse_result result =
      document->load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8);
  if (!result || topLevelElementCount(*document) != 1) return false;
  m_document = std::move(document);
  return true;
}

CXMLElementList CXMLAccess::GetElements(const std::string& tagName) const {
  CXMLElementList list;
  if (!m_document || tagName.empty() || tagName.size() > 1000) return list;
  collectElements(*m_document, tagName, list.m_nodes);
  if (!list.m_nodes.empty()) list.m_document = m_document;
  return list;
}
