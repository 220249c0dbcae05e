#pragma once
// Dialogs for tests: answers come from queues a test fills, and every request is kept.

#include <deque>
#include <optional>
#include <vector>

#include "common/qt/Dialogs.h"

namespace vexal {

// Answers from queues filled by a test and records every request. An empty queue answers
// a message box with its first button (OK or Yes) and cancels a file dialog. A file is
// chosen with the request's first name filter unless the test names another.
class ScriptedDialogs : public Dialogs {
 public:
  BoxAnswer messageBox(const MessageBoxRequest &request) override;
  std::optional<FileChoice> chooseFile(const FileDialogRequest &request) override;

  void answerNextBox(BoxAnswer answer) { boxAnswers.push_back(answer); }
  void chooseNextFile(std::optional<QString> path, QString nameFilter = {}) {
    fileAnswers.push_back(std::move(path));
    filterAnswers.push_back(std::move(nameFilter));
  }

  std::deque<BoxAnswer> boxAnswers;
  std::deque<std::optional<QString>> fileAnswers;
  std::deque<QString> filterAnswers;  // empty: the request's first filter
  std::vector<MessageBoxRequest> boxes;
  std::vector<FileDialogRequest> fileDialogs;
};

}  // namespace vexal
