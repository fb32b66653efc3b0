#pragma once
// A control with tabbed pages; each page is a tab sheet that belongs to it.

#include <vector>

#include "platform/controls.h"

class TPageControl;

class TTabSheet : public TControl {
 public:
  explicit TTabSheet(TComponent* owner) : TControl(owner, TComponentKind::TabSheet) {}
  ~TTabSheet() override;

  TPageControl* PageControl() const { return pageControl_; }
  // Appends the sheet to the pages of `pageControl` (nullptr takes it out).
  void SetPageControl(TPageControl* pageControl);
  int PageIndex() const;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};

class TPageControl : public TControl {
 public:
  explicit TPageControl(TComponent* owner) : TControl(owner, TComponentKind::PageControl) {}
  ~TPageControl() override;

  const std::vector<TTabSheet*>& Pages() const { return pages_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* ActivePage() const { return activePage_; }
  int ActivePageIndex() const;
  // A sheet that is not one of the pages is ignored.
  void SetActivePage(TTabSheet* page);

 private:
  friend class TTabSheet;
  void Insert(TTabSheet* page);
  void Remove(TTabSheet* page);

  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};
