#include "support/ScriptedDialogs.h"

namespace vexal {

BoxAnswer ScriptedDialogs::messageBox(const MessageBoxRequest &request) {
  boxes.push_back(request);
  if (boxAnswers.empty())
    return request.buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
  const BoxAnswer answer = boxAnswers.front();
  boxAnswers.pop_front();
  return answer;
}

std::optional<FileChoice> ScriptedDialogs::chooseFile(const FileDialogRequest &request) {
  fileDialogs.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  const bool chosen = fileAnswers.front().has_value();
  QString path = chosen ? *fileAnswers.front() : QString();
  fileAnswers.pop_front();
  QString filter;
  if (!filterAnswers.empty()) {
    filter = std::move(filterAnswers.front());
    filterAnswers.pop_front();
  }
  if (!chosen) return std::nullopt;
  if (filter.isEmpty() && !request.nameFilters.isEmpty()) filter = request.nameFilters.first();
  return FileChoice{std::move(path), std::move(filter)};
}

}  // namespace vexal
