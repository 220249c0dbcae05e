#include "app/FileFilter.h"

namespace vexal {

namespace {

std::vector<std::string> split(std::string_view text, char delimiter) {
  std::vector<std::string> parts;
  for (;;) {
    const auto at = text.find(delimiter);
    parts.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::string joined(const std::vector<std::string> &parts, std::string_view separator) {
  std::string text;
  for (const auto &part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

}  // namespace

std::vector<FileTypeEntry> parseFileTypeList(std::string_view list) {
  std::vector<FileTypeEntry> entries;
  if (list.empty()) return entries;
  const auto fields = split(list, '|');
  for (std::size_t i = 0; i < fields.size(); i += 2) {
    FileTypeEntry entry{fields[i], {}};
    if (i + 1 < fields.size())
      for (auto &pattern : split(fields[i + 1], ';'))
        if (!pattern.empty()) entry.patterns.push_back(std::move(pattern));
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string dialogNameFilter(const FileTypeEntry &entry) {
  std::string inParentheses = joined(entry.patterns, " ");
  inParentheses.insert(inParentheses.begin(), '(');
  inParentheses.push_back(')');
  const std::string &d = entry.description;
  if (entry.patterns.empty()) return d;
  if (d.size() >= inParentheses.size() &&
      d.compare(d.size() - inParentheses.size(), inParentheses.size(), inParentheses) == 0)
    return d;
  return d + " " + inParentheses;
}

std::vector<std::string> dialogNameFilters(std::string_view list) {
  std::vector<std::string> filters;
  for (const auto &entry : parseFileTypeList(list)) filters.push_back(dialogNameFilter(entry));
  return filters;
}

}  // namespace vexal
