#include "gui/window_presentation.h"

TWindowPresentation DecideWindowPresentation(bool visible, TWindowState state,
                                             const TTrayFacts& tray) {
  const bool trayUsable = tray.hasTrayIcon && tray.trayAvailable;
  if (visible) {
    if (state != TWindowState::Minimized) return TWindowPresentation::Shown;
    return trayUsable && tray.minimizeToTray ? TWindowPresentation::Hidden
                                             : TWindowPresentation::Minimized;
  }
  // A hidden window of a program that lives in the tray must stay reachable.
  if (tray.hasTrayIcon && !tray.trayAvailable) return TWindowPresentation::Minimized;
  return TWindowPresentation::Hidden;
}
