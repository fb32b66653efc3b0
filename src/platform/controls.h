#pragma once
// Visible controls of the form model: position, caption, visibility and enabled state, plus
// the few looks each kind needs. Nothing is drawn here; a front end draws from these values.

#include <cstdint>
#include <string>

#include "platform/component.h"

enum class TAlign { None, Client };
enum class TAlignment { LeftJustify, RightJustify, Center };

class TControl : public TComponent {
 public:
  TControl(TComponent* owner, TComponentKind kind);

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // The control this one is drawn inside (nullptr: directly on the form, or a form itself).
  TControl* Parent() const { return parent_; }
  void SetParent(TControl* parent);

  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  // Runs OnClick. A front end calls it for a user's click; program code may click too.
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  std::string caption_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TControl* parent_ = nullptr;
  int tabOrder_ = -1;
  TAlign align_ = TAlign::None;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner) : TControl(owner, TComponentKind::Label) {}
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

 private:
  TAlignment alignment_ = TAlignment::LeftJustify;
  bool transparent_ = false;
};

class TButton : public TControl {
 public:
  explicit TButton(TComponent* owner) : TControl(owner, TComponentKind::Button) {}
};

// Check box and radio button share the checked state.
class TCheckControl : public TControl {
 public:
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);

 protected:
  TCheckControl(TComponent* owner, TComponentKind kind) : TControl(owner, kind) {}

 private:
  bool checked_ = false;
};

class TCheckBox : public TCheckControl {
 public:
  explicit TCheckBox(TComponent* owner) : TCheckControl(owner, TComponentKind::CheckBox) {}
};

class TRadioButton : public TCheckControl {
 public:
  explicit TRadioButton(TComponent* owner) : TCheckControl(owner, TComponentKind::RadioButton) {}
};

class TGroupBox : public TControl {
 public:
  explicit TGroupBox(TComponent* owner) : TControl(owner, TComponentKind::GroupBox) {}
};

class TProgressBar : public TControl {
 public:
  explicit TProgressBar(TComponent* owner) : TControl(owner, TComponentKind::ProgressBar) {}
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  // The position is kept inside the range, as the native bar does.
  void SetRange(int min, int max);
  void SetPosition(int position);

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner) : TControl(owner, TComponentKind::Image) {}
  // Names the picture a front end shows (for example "checkmark").
  const std::string& Picture() const { return picture_; }
  void SetPicture(std::string picture);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);

 private:
  std::string picture_;
  bool transparent_ = false;
};

enum class TBevelShape { Box, Frame, TopLine, BottomLine, LeftLine, RightLine };
enum class TBevelStyle { Lowered, Raised };

class TBevel : public TControl {
 public:
  explicit TBevel(TComponent* owner) : TControl(owner, TComponentKind::Bevel) {}
  TBevelShape Shape() const { return shape_; }
  TBevelStyle Style() const { return style_; }
  void SetShape(TBevelShape shape, TBevelStyle style);

 private:
  TBevelShape shape_ = TBevelShape::Box;
  TBevelStyle style_ = TBevelStyle::Lowered;
};

// A band filled with a colour gradient in a fixed number of steps. Colours are 0xRRGGBB.
class TGradientBand : public TControl {
 public:
  explicit TGradientBand(TComponent* owner) : TControl(owner, TComponentKind::GradientBand) {}
  std::uint32_t StartColor() const { return startColor_; }
  std::uint32_t EndColor() const { return endColor_; }
  int Steps() const { return steps_; }
  bool Horizontal() const { return horizontal_; }
  void SetGradient(std::uint32_t startColor, std::uint32_t endColor, int steps, bool horizontal);

 private:
  std::uint32_t startColor_ = 0x000000;
  std::uint32_t endColor_ = 0xffffff;
  int steps_ = 64;
  bool horizontal_ = true;
};
