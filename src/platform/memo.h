#pragma once
// A multi-line text control. Its lines only change through TMemoLines, which tells the
// observers about each appended line, so a front end (or the headless mirror) can follow a
// growing log without rereading it.

#include <string>
#include <string_view>
#include <vector>

#include "platform/controls.h"

class TMemo;

class TMemoLines {
 public:
  explicit TMemoLines(TMemo& memo) : memo_(memo) {}
  TMemoLines(const TMemoLines&) = delete;
  TMemoLines& operator=(const TMemoLines&) = delete;

  // Appends a line. A text holding line breaks (CR LF, CR or LF) becomes several lines, as
  // the control would show it; one LineAdded is reported per line.
  void Add(std::string_view line);
  void Clear();
  int Count() const { return static_cast<int>(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](int index) const { return lines_.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Strings() const { return lines_; }
  // Every line followed by CR LF.
  std::string Text() const;
  // Replaces all lines by the lines of `text`.
  void SetText(std::string_view text);

  // Splits a text at CR LF, CR or LF. A text ending in a line break has no empty last line.
  static std::vector<std::string> Split(std::string_view text);

 private:
  TMemo& memo_;
  std::vector<std::string> lines_;
};

enum class TScrollStyle { None, Horizontal, Vertical, Both };

class TMemo : public TControl {
 public:
  explicit TMemo(TComponent* owner) : TControl(owner, TComponentKind::Memo), lines_(*this) {}

  TMemoLines& Lines() { return lines_; }
  const TMemoLines& Lines() const { return lines_; }

  bool ReadOnly() const { return readOnly_; }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetReadOnly(bool readOnly);
  void SetScrollBars(TScrollStyle scrollBars);

 private:
  friend class TMemoLines;
  TMemoLines lines_;
  bool readOnly_ = false;
  TScrollStyle scrollBars_ = TScrollStyle::None;
};
