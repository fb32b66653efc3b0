#pragma once
// Gives a component and everything it owns their captions from the text table, by the id in
// each component's Tag.

class TComponent;

void TranslateComponent(TComponent& component);
