#include "gui/window_presentation.h"

#include <gtest/gtest.h>

using P = TWindowPresentation;
using S = TWindowState;

TEST(WindowPresentationTest, WithATrayTheWindowHidesBehindTheIcon) {
  TTrayFacts tray{true, true, true};
  EXPECT_EQ(DecideWindowPresentation(true, S::Normal, tray), P::Shown);
  EXPECT_EQ(DecideWindowPresentation(true, S::Minimized, tray), P::Hidden);
  EXPECT_EQ(DecideWindowPresentation(false, S::Normal, tray), P::Hidden);
  EXPECT_EQ(DecideWindowPresentation(false, S::Minimized, tray), P::Hidden);
  tray.minimizeToTray = false;
  EXPECT_EQ(DecideWindowPresentation(true, S::Minimized, tray), P::Minimized);
}

TEST(WindowPresentationTest, WithoutATrayTheWindowStaysReachable) {
  TTrayFacts tray{true, false, true};
  EXPECT_EQ(DecideWindowPresentation(true, S::Normal, tray), P::Shown);
  EXPECT_EQ(DecideWindowPresentation(true, S::Minimized, tray), P::Minimized);
  EXPECT_EQ(DecideWindowPresentation(false, S::Normal, tray), P::Minimized);
  EXPECT_EQ(DecideWindowPresentation(false, S::Minimized, tray), P::Minimized);
}

TEST(WindowPresentationTest, AFormWithoutTrayIconHidesAsAsked) {
  TTrayFacts none{false, false, false};
  EXPECT_EQ(DecideWindowPresentation(false, S::Normal, none), P::Hidden);
  EXPECT_EQ(DecideWindowPresentation(true, S::Minimized, none), P::Minimized);
  EXPECT_EQ(DecideWindowPresentation(true, S::Maximized, none), P::Shown);
}
