#pragma once
// What the three utility dialogs share: their message boxes (replaceable by
// a test) and the port opener.

#include <functional>

#include <QMessageBox>
#include <QWidget>

#include "service/ServicePort.h"

namespace virs {

// Shows a utility's message; a test puts its own recorder here.
using TServiceMessageSink = std::function<void(const TServiceMessage&)>;
// Asks a Yes/No question; true for Yes.
using TServiceQuestionSink = std::function<bool(const TServiceMessage&)>;

// A message box: the icon and caption of the message, \r as a line break.
void ShowServiceMessageBox(QWidget* parent, const TServiceMessage& message);
bool AskServiceQuestionBox(QWidget* parent, const TServiceMessage& question);

// The dialogs' common seams.
struct TServiceDialogHooks {
    TServicePortOpener OpenPort = OpenServicePort;
    TServiceMessageSink MessageSink;   // empty: a message box
    TServiceQuestionSink QuestionSink; // empty: a message box
};

// Repaints the dialog and takes the operator's clicks while a utility runs on
// the main thread.
void LetTheWindowBreathe();

} // namespace virs
