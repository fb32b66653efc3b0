#pragma once
// How a top-level window of the model is put on screen. A window sent to the tray is hidden
// only where the desktop has a tray to bring it back from; elsewhere it is minimised, so the
// user can always reach it.

#include "platform/form.h"

enum class TWindowPresentation { Hidden, Shown, Minimized };

struct TTrayFacts {
  bool hasTrayIcon = false;     // the form owns a tray icon component
  bool trayAvailable = false;   // the desktop shows tray icons
  bool minimizeToTray = false;  // the icon's minimise-to-tray setting
};

TWindowPresentation DecideWindowPresentation(bool visible, TWindowState state,
                                             const TTrayFacts& tray);
