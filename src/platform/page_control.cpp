#include "platform/page_control.h"

#include <algorithm>

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->Remove(this);
}

void TTabSheet::SetPageControl(TPageControl* pageControl) {
  if (pageControl == pageControl_) return;
  if (pageControl_) pageControl_->Remove(this);
  pageControl_ = pageControl;
  if (pageControl_) pageControl_->Insert(this);
  SetParent(pageControl_);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
}

int TPageControl::ActivePageIndex() const {
  return activePage_ ? activePage_->PageIndex() : -1;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page == activePage_) return;
  if (page && page->pageControl_ != this) return;
  activePage_ = page;
  Changed(TChange::ActivePage);
}

void TPageControl::Insert(TTabSheet* page) {
  pages_.push_back(page);
  Changed(TChange::Items);
  // The first page becomes the active one, as a freshly designed page control shows it.
  if (!activePage_) SetActivePage(page);
}

void TPageControl::Remove(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  size_t index = static_cast<size_t>(it - pages_.begin());
  pages_.erase(it);
  Changed(TChange::Items);
  if (activePage_ == page) {
    activePage_ = nullptr;
    if (!pages_.empty()) activePage_ = pages_[std::min(index, pages_.size() - 1)];
    Changed(TChange::ActivePage);
  }
}
