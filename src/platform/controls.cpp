#include "platform/controls.h"

#include <algorithm>
#include <utility>

TControl::TControl(TComponent* owner, TComponentKind kind) : TComponent(owner, kind) {}

void TControl::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(TChange::Caption);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed(TChange::Bounds);
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(TChange::Visible);
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(TChange::Enabled);
}

void TControl::SetParent(TControl* parent) {
  if (parent == parent_ || parent == this) return;
  parent_ = parent;
  Changed(TChange::Parent);
}

void TControl::SetTabOrder(int order) {
  if (order == tabOrder_) return;
  tabOrder_ = order;
  Changed(TChange::TabOrder);
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  Changed(TChange::Bounds);
}

void TControl::Click() {
  if (OnClick) OnClick(*this);
}

void TLabel::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  Changed(TChange::Appearance);
}

void TLabel::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed(TChange::Appearance);
}

void TCheckControl::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Changed(TChange::Checked);
}

void TProgressBar::SetRange(int min, int max) {
  if (max < min) std::swap(min, max);
  int position = std::clamp(position_, min, max);
  if (min == min_ && max == max_ && position == position_) return;
  min_ = min;
  max_ = max;
  position_ = position;
  Changed(TChange::Position);
}

void TProgressBar::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (position == position_) return;
  position_ = position;
  Changed(TChange::Position);
}

void TImage::SetPicture(std::string picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  Changed(TChange::Appearance);
}

void TImage::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed(TChange::Appearance);
}

void TBevel::SetShape(TBevelShape shape, TBevelStyle style) {
  if (shape == shape_ && style == style_) return;
  shape_ = shape;
  style_ = style;
  Changed(TChange::Appearance);
}

void TGradientBand::SetGradient(std::uint32_t startColor, std::uint32_t endColor, int steps,
                                bool horizontal) {
  steps = std::max(steps, 1);
  if (startColor == startColor_ && endColor == endColor_ && steps == steps_ &&
      horizontal == horizontal_) {
    return;
  }
  startColor_ = startColor;
  endColor_ = endColor;
  steps_ = steps;
  horizontal_ = horizontal;
  Changed(TChange::Appearance);
}
