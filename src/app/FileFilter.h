#pragma once
// File-type lists of the file dialogs, written as "Description|patterns|Description|..."
// pairs (patterns separated by ";"), and their form for the toolkit's dialogs.

#include <string>
#include <string_view>
#include <vector>

namespace vexal {

struct FileTypeEntry {
  std::string description;            // as the list gives it, e.g. "Excel File(*.xls)"
  std::vector<std::string> patterns;  // e.g. {"*.xls"}
};

// Splits a type list into its entries. A trailing description without patterns gets none.
std::vector<FileTypeEntry> parseFileTypeList(std::string_view list);

// The entry as a dialog name filter "Description (patterns)": patterns are blank-separated
// and appended in parentheses unless the description already ends with exactly them, so
// "Excel File(*.xls)" stays as it is and is shown to the user unchanged.
std::string dialogNameFilter(const FileTypeEntry &entry);

std::vector<std::string> dialogNameFilters(std::string_view list);

}  // namespace vexal
