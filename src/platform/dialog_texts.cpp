#include "platform/dialog_texts.h"

TDialogTexts& DialogTexts() {
  static TDialogTexts texts;
  return texts;
}
