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
  auto answer = std::move(fileAnswers.front());
  fileAnswers.pop_front();
  QString filter;
  if (!filterAnswers.empty()) {
    filter = std::move(filterAnswers.front());
    filterAnswers.pop_front();
  }
  if (!answer) return std::nullopt;
  if (filter.isEmpty() && !request.nameFilters.isEmpty()) filter = request.nameFilters.first();
  return FileChoice{std::move(*answer), std::move(filter)};
}

}  // namespace vexal
