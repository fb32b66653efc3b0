#pragma once
// The window's help helpers: the router that sends help requests to the compiled help file,
// and the what's-this component whose popup handler decides whether a popup is shown.

#include <functional>
#include <string>

#include "platform/component.h"

class THelpRouter : public TComponent {
 public:
  explicit THelpRouter(TComponent* owner) : TComponent(owner) {}
  // Kept for completeness: the window sets these fields, but nothing in the proxy reads them.
  enum class THelpType { Html, WinHelp };
  THelpType HelpType = THelpType::Html;
  // The file naming the popup topics, and whether topic names are checked against it.
  std::string PopupTopicsFile;
  bool ValidateTopics = true;
};

class TWhatsThis : public TComponent {
 public:
  explicit TWhatsThis(TComponent* owner) : TComponent(owner) {}
  bool Active = true;
  // May clear doPopup to suppress the popup.
  std::function<void(bool& doPopup)> OnPopup;
  // Asked by a front end before it shows a what's-this popup; returns whether to show it.
  // Kept for completeness: no front end of the proxy shows what's-this popups or calls it.
  bool Popup() const {
    if (!Active) return false;
    bool doPopup = true;
    if (OnPopup) OnPopup(doPopup);
    return doPopup;
  }
};
