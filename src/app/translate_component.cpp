#include "app/translate_component.h"

#include "app/text_table.h"
#include "platform/forms.h"

void TranslateComponent(TComponent& component) {
  switch (component.Kind()) {
    case TComponentKind::Form:
    case TComponentKind::Button:
    case TComponentKind::CheckBox:
    case TComponentKind::RadioButton:
    case TComponentKind::TabSheet:
    case TComponentKind::GroupBox: {
      std::string text = GetTextById(component.Tag());
      if (!text.empty()) static_cast<TControl&>(component).SetCaption(text);
      break;
    }
    case TComponentKind::Label: {
      auto& label = static_cast<TLabel&>(component);
      std::string text = GetTextById(label.Tag());
      // A text starting with a capital W is set off by a blank and moved left, so that the
      // broad letter lines up with the others.
      if (!text.empty() && text[0] == 'W') {
        text = " " + text;
        label.SetLeft(label.Left() - 2);
      }
      if (!text.empty()) label.SetCaption(text);
      break;
    }
    case TComponentKind::MenuItem: {
      std::string text = GetTextById(component.Tag());
      if (!text.empty()) static_cast<TMenuItem&>(component).SetCaption(text);
      break;
    }
    default:
      break;
  }
  // Copied: a caption change must not disturb the walk, whatever an observer does.
  auto owned = component.Components();
  for (TComponent* c : owned) TranslateComponent(*c);
}
