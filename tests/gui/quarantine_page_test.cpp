// The configuration window's quarantine page on a private quarantine folder.

#include "config/window/quarantine_page.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>

#include "config/window/config_window.h"
#include "config_test_support.h"
#include "open_recorder.h"
#include "quarantine_test_support.h"

namespace {

using config_test::kNow;
using config_test::ReadFile;
using config_test::TempFolder;

class QuarantinePageTest : public ::testing::Test {
 protected:
  QuarantinePageTest() {
    places.registryPath = (folder / "registry.reg").string();
    places.programFolder = (folder / "program").string();
    places.quarantineFolder = (folder / "quarantine").string();
  }
  TQuarantine Store() const { return TQuarantine(places.quarantineFolder); }
  std::string Keep(const std::string& mail, const std::string& subject,
                   std::vector<std::string> blocked, std::time_t moment) {
    return config_test::KeepCopy(places.quarantineFolder, mail, subject, std::move(blocked),
                                 moment);
  }

  TempFolder folder;
  TConfigPlaces places;
};

TEST_F(QuarantinePageTest, TheWindowListsTheCopiesAsTheCommandLineDoes) {
  Keep("first mail", "Invoice", {"invoice.exe", "run.js"}, kNow - 60);
  Keep("second",
       "Gr\xc3\xbc\xc3\x9f"
       "e",
       {"x.bat"}, kNow);
  TConfigWindow window(places);
  TQuarantinePage* page = window.QuarantinePage();
  ASSERT_NE(page, nullptr);
  QTreeWidget* list = page->List();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  QTreeWidgetItem* first = list->topLevelItem(0);
  EXPECT_EQ(first->text(TQuarantinePage::colNumber), "1");
  EXPECT_EQ(first->text(TQuarantinePage::colFrom), "Mallory <m@example.net>");
  EXPECT_EQ(first->text(TQuarantinePage::colSubject), "Invoice");
  EXPECT_EQ(first->text(TQuarantinePage::colBlocked), "invoice.exe, run.js");
  EXPECT_EQ(first->text(TQuarantinePage::colFile), "20261209-161430-001.eml");
  EXPECT_EQ(list->topLevelItem(1)->text(TQuarantinePage::colSubject),
            QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                              "e"));
  // Nothing selected: the buttons wait, and a step asked for anyway says why.
  EXPECT_FALSE(page->ExportButton()->isEnabled());
  EXPECT_FALSE(page->RemoveButton()->isEnabled());
  EXPECT_FALSE(page->RemoveSelected());
  EXPECT_NE(page->LastError().find("Select"), std::string::npos);
  EXPECT_EQ(Store().List().size(), 2u);
}

TEST_F(QuarantinePageTest, ExportsOpensAndRemovesTheSelectedCopy) {
  const std::string mail = "From: a@b\r\nSubject: s\r\n\r\n..dotted\r\n";
  Keep("other", "other", {"o.exe"}, kNow - 60);
  const std::string chosen = Keep(mail, "s", {"s.exe"}, kNow);
  TQuarantinePage page(places.quarantineFolder);
  page.List()->topLevelItem(1)->setSelected(true);
  EXPECT_TRUE(page.OpenButton()->isEnabled());

  const auto target = folder / "exported.eml";
  ASSERT_TRUE(page.ExportSelected(target.string())) << page.LastError();
  EXPECT_EQ(ReadFile(target), mail);

  TOpenRecorder recorder;
  ASSERT_TRUE(page.OpenSelected()) << page.LastError();
  EXPECT_EQ(recorder.WaitForLines(1), places.quarantineFolder + "/" + chosen + "\n");

  ASSERT_TRUE(page.RemoveSelected()) << page.LastError();
  ASSERT_EQ(page.List()->topLevelItemCount(), 1);
  EXPECT_EQ(page.List()->topLevelItem(0)->text(TQuarantinePage::colSubject), "other");
  ASSERT_EQ(Store().List().size(), 1u);
  EXPECT_NE(Store().List()[0].FileName, chosen);
}

TEST_F(QuarantinePageTest, ACopyRemovedBehindTheWindowsBackIsReportedNotGuessed) {
  Keep("one", "one", {"a.exe"}, kNow - 60);
  Keep("two", "two", {"b.exe"}, kNow);
  TQuarantinePage page(places.quarantineFolder);
  page.List()->topLevelItem(0)->setSelected(true);
  Store().Remove(Store().Find("1"));
  // The row still shows the removed copy; its number now belongs to the other one.
  EXPECT_FALSE(page.RemoveSelected());
  EXPECT_NE(page.LastError().find("no copy named"), std::string::npos) << page.LastError();
  ASSERT_EQ(Store().List().size(), 1u);
  EXPECT_EQ(page.List()->topLevelItemCount(), 1);
}

}  // namespace
