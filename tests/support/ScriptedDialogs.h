#pragma once
// Dialogs for tests: answers come from queues a test fills, and every request is kept.

#include <deque>
#include <optional>
#include <vector>

#include "common/qt/Dialogs.h"

namespace vexal {

// Answers from queues filled by a test and records every request. An empty queue answers
// a message box with its first button (OK or Yes) and cancels a file dialog.
class ScriptedDialogs : public Dialogs {
 public:
  BoxAnswer messageBox(const MessageBoxRequest &request) override;
  std::optional<QString> fileDialog(const FileDialogRequest &request) override;

  void answerNextBox(BoxAnswer answer) { boxAnswers.push_back(answer); }
  void chooseNextFile(std::optional<QString> path) { fileAnswers.push_back(std::move(path)); }

  std::deque<BoxAnswer> boxAnswers;
  std::deque<std::optional<QString>> fileAnswers;
  std::vector<MessageBoxRequest> boxes;
  std::vector<FileDialogRequest> fileDialogs;
};

}  // namespace vexal
