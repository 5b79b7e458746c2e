// CXMLAccess: one XML file loaded into a document, and its elements by tag name.
//
// The file is parsed as raw bytes: Shift_JIS (or any other byte-oriented text) passes through
// untouched, only CR LF and lone CR become LF as an XML reader does. A CXMLAccess is made for
// one file and dropped after use. Element lists and elements share ownership of the document,
// so they stay valid after the CXMLAccess that made them is gone.
//
// Which text to read:
//   - CXMLElement::TextContent(): the concatenated text of the element and all its descendants,
//     exactly as in the file (after the line-end normalisation).
//   - CXMLElement::FirstChildText(): the text of the element's first child without its leading
//     and trailing white space (space, tab, CR, LF). This is the rows text the element
//     converters take: for a tagged file "<m018>" CR LF "0000@1,\n" ... it starts with the first
//     row, never with the line end that follows the opening tag.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
struct xml_node_struct;
}  // namespace pugi

class CXMLElement {
public:
  CXMLElement() = default;

  // True when this refers to an element (false for a default-constructed or out-of-range item).
  bool IsValid() const { return m_node != nullptr; }
  // The element's tag name ("" when not valid).
  std::string TagName() const;
  // Concatenated text of the element and its descendants, untrimmed.
  std::string TextContent() const;
  // True when the element has any child node (a text made only of white space is no child).
  bool HasChild() const;
  // The first child's text (for an element child: its whole text content), trimmed of leading
  // and trailing white space; "" when the element has no child.
  std::string FirstChildText() const;

private:
  friend class CXMLElementList;
  CXMLElement(std::shared_ptr<pugi::xml_document> document, pugi::xml_node_struct* node)
      : m_document(std::move(document)), m_node(node) {}

  std::shared_ptr<pugi::xml_document> m_document;
  pugi::xml_node_struct* m_node = nullptr;
};

class CXMLElementList {
public:
  CXMLElementList() = default;

  int Length() const { return static_cast<int>(m_nodes.size()); }
  // Item i (0 is the first in document order); an invalid element when i is out of range.
  CXMLElement Item(int index) const;

private:
  friend class CXMLAccess;
  std::shared_ptr<pugi::xml_document> m_document;
  std::vector<pugi::xml_node_struct*> m_nodes;
};

class CXMLAccess {
public:
  CXMLAccess();
  virtual ~CXMLAccess();
  CXMLAccess(const CXMLAccess&) = delete;
  CXMLAccess& operator=(const CXMLAccess&) = delete;

  // Loads the file at path (native '/' path). False, and no document, when the path is longer
  // than kMaxPathBytes, the file is missing or unreadable, or it is not a well-formed document (a
  // parse error, or not exactly one top-level element). Never shows a message.
  bool Load(const std::string& path);

  // Every element named tagName anywhere in the document, in document order; an empty list when
  // there is no document or no such element.
  CXMLElementList GetElements(const std::string& tagName) const;

private:
  std::shared_ptr<pugi::xml_document> m_document;
};
