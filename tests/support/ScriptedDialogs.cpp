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

std::optional<QString> ScriptedDialogs::fileDialog(const FileDialogRequest &request) {
  fileDialogs.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  auto answer = std::move(fileAnswers.front());
  fileAnswers.pop_front();
  return answer;
}

}  // namespace vexal
