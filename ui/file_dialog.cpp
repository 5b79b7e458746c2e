#include "ui/file_dialog.h"


std::vector<FileFilter> parseFileFilter(std::string_view filter) {
  std::vector<FileFilter> pairs;
  std::size_t at = 0;
  while (at < filter.size()) {
    std::size_t bar = filter.find('|', at);
    if (bar == std::string_view::npos) break;  // a label without its pattern
    std::string_view label = filter.substr(at, bar - at);
    if (label.empty()) break;                  // the empty pair that ends the list
    std::size_t end = filter.find('|', bar + 1);
    if (end == std::string_view::npos) end = filter.size();
    std::string_view pattern = filter.substr(bar + 1, end - bar - 1);
    pairs.push_back({std::string(label), std::string(pattern)});
    at = end + 1;
  }
  return pairs;
}

namespace {

std::size_t nameStart(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// Position of the extension's dot in the file name, npos when the name has none. A name that
// only starts with a dot (".profile") has no extension.
std::size_t extensionDot(const std::string& path) {
  std::size_t start = nameStart(path);
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= start) return std::string::npos;
  return dot;
}

}  // namespace

std::string applyDefaultExtension(const std::string& path, std::string_view defaultExt) {
  if (defaultExt.empty() || path.empty() || path.back() == '/') return path;
  if (extensionDot(path) != std::string::npos) return path;
  return path + "." + std::string(defaultExt);
}

CFileDialog::CFileDialog(bool open, const char* defaultExt, const char* initialName,
                         unsigned flags, const char* filter, CWnd* parent) {
  m_request.open = open;
  m_request.defaultExt = defaultExt ? defaultExt : "";
  m_request.initialName = initialName ? initialName : "";
  m_request.flags = flags;
  m_request.filterText = filter ? filter : "";
  m_request.filters = parseFileFilter(m_request.filterText);
  m_request.parent = parent;
}

void CFileDialog::SetTitle(std::string title) { m_request.title = std::move(title); }

int CFileDialog::DoModal() {
  m_path.clear();
  m_request.thread = std::this_thread::get_id();
  std::optional<std::string> chosen;
  {
    UiBackendRef backend;
    if (backend) chosen = backend->fileDialog(m_request);
  }
  if (!chosen || chosen->empty()) return IDCANCEL;
  m_path = applyDefaultExtension(*chosen, m_request.defaultExt);
  return IDOK;
}

std::string CFileDialog::GetPathName() const { return m_path; }

std::string CFileDialog::GetFileName() const { return m_path.substr(nameStart(m_path)); }

std::string CFileDialog::GetFileExt() const {
  std::size_t dot = extensionDot(m_path);
  return dot == std::string::npos ? std::string() : m_path.substr(dot + 1);
}

std::string CFileDialog::GetFileTitle() const {
  std::size_t start = nameStart(m_path);
  std::size_t dot = extensionDot(m_path);
  return m_path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string CFileDialog::GetFolderPath() const {
  std::size_t start = nameStart(m_path);
  if (start == 0) return std::string();
  if (start == 1) return "/";
  return m_path.substr(0, start - 1);
}
