#pragma once
// The whole form model in one include.
//
// How a front end uses it: walk the form's Components() (each component's Kind() tells which
// class to cast to), build a widget per control inside its Parent() (nullptr: the form; a tab
// sheet's parent is its page control), then AddObserver on the form and apply each change as
// ComponentChanged reports it. User actions go back into the model: TControl::Click,
// TMenuItem::Click, TTrayIcon::DoubleClick, TForm::Help (F1), TPageControl::SetActivePage.
// Disabled controls are not clicked. MessageDlg (message_dlg.h) and DialogTexts()
// (dialog_texts.h) give the message box and the standard button texts; TApplication's hooks
// (application.h) let the front end's own event loop run with ours.

#include "platform/component.h"
#include "platform/controls.h"
#include "platform/form.h"
#include "platform/memo.h"
#include "platform/menus.h"
#include "platform/page_control.h"
#include "platform/timer.h"
#include "platform/tray_icon.h"
