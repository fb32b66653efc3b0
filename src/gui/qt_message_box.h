#pragma once
// The message box on screen: a modal Qt box with the title and button captions the request
// carries (the standard texts of the text table), always above the other windows.

#include "platform/message_dlg.h"

class QMessageBox;

// Builds the box for a request without showing it (tests look at it, then answer it).
QMessageBox* BuildMessageBox(const TMessageDlgRequest& request);
// The result of the button the user chose in a box built from `request`.
TModalResult ResultOfChoice(const QMessageBox& box, const TMessageDlgRequest& request);
// Shows the box modally and returns the user's choice.
TModalResult ShowQtMessageBox(const TMessageDlgRequest& request);
// Makes ShowQtMessageBox the message box of the program.
void InstallQtMessageBox();
