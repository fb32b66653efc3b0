#pragma once
// Small helpers the renderer's parts share: walking the component tree and looking at a
// widget as the kind the renderer made for it.

#include <QWidget>
#include <functional>

#include "platform/component.h"

// Visits every component owned by `component`, depth first in creation order.
inline void ForEachOwned(TComponent& component, const std::function<void(TComponent&)>& visit) {
  for (TComponent* c : component.Components()) {
    visit(*c);
    ForEachOwned(*c, visit);
  }
}

// The widget as the kind made for its component, or null.
template <class W>
W* As(QWidget* w) {
  return dynamic_cast<W*>(w);
}
