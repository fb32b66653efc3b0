#include "platform/message_dlg.h"

#include <algorithm>
#include <utility>

#include "platform/dialog_texts.h"

namespace {

TModalResult AnswerWithoutChoice(const TMessageDlgRequest& request) {
  auto offers = [&](TMsgDlgBtn kind) {
    return std::any_of(request.buttons.begin(), request.buttons.end(),
                       [kind](const TMsgDlgButton& b) { return b.kind == kind; });
  };
  if (offers(TMsgDlgBtn::Cancel)) return TModalResult::Cancel;
  if (offers(TMsgDlgBtn::No)) return TModalResult::No;
  if (request.buttons.size() == 1) return request.buttons.front().result;
  return TModalResult::None;
}

TMessageDlgHandler& CurrentHandler() {
  static TMessageDlgHandler handler;
  return handler;
}

TMsgDlgButton Describe(TMsgDlgBtn kind) {
  const TDialogTexts& t = DialogTexts();
  switch (kind) {
    case TMsgDlgBtn::Yes:
      return {kind, t.MsgYes, TModalResult::Yes};
    case TMsgDlgBtn::No:
      return {kind, t.MsgNo, TModalResult::No};
    case TMsgDlgBtn::Ok:
      return {kind, t.MsgOk, TModalResult::Ok};
    case TMsgDlgBtn::Cancel:
      return {kind, t.MsgCancel, TModalResult::Cancel};
    case TMsgDlgBtn::Abort:
      return {kind, t.MsgAbort, TModalResult::Abort};
    case TMsgDlgBtn::Retry:
      return {kind, t.MsgRetry, TModalResult::Retry};
    case TMsgDlgBtn::Ignore:
      return {kind, t.MsgIgnore, TModalResult::Ignore};
    case TMsgDlgBtn::All:
      return {kind, t.MsgAll, TModalResult::All};
    case TMsgDlgBtn::NoToAll:
      return {kind, t.MsgNoToAll, TModalResult::NoToAll};
    case TMsgDlgBtn::YesToAll:
      return {kind, t.MsgYesToAll, TModalResult::YesToAll};
    case TMsgDlgBtn::Help:
      return {kind, t.MsgHelp, TModalResult::None};
  }
  return {kind, "", TModalResult::None};
}

std::string TitleOf(TMsgDlgType type) {
  const TDialogTexts& t = DialogTexts();
  switch (type) {
    case TMsgDlgType::Warning:
      return t.WarningTitle;
    case TMsgDlgType::Error:
      return t.ErrorTitle;
    case TMsgDlgType::Information:
      return t.InformationTitle;
    case TMsgDlgType::Confirmation:
      return t.ConfirmationTitle;
    case TMsgDlgType::Custom:
      break;
  }
  return {};
}

}  // namespace

TMessageDlgRequest MakeMessageDlgRequest(const std::string& text, TMsgDlgType type,
                                         const std::vector<TMsgDlgBtn>& buttons, int helpContext) {
  TMessageDlgRequest request;
  request.title = TitleOf(type);
  request.text = text;
  request.type = type;
  request.helpContext = helpContext;
  for (TMsgDlgBtn b : buttons) request.buttons.push_back(Describe(b));
  return request;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type,
                        const std::vector<TMsgDlgBtn>& buttons, int helpContext) {
  TMessageDlgRequest request = MakeMessageDlgRequest(text, type, buttons, helpContext);
  // A copy: the handler may install another one while its box is open.
  TMessageDlgHandler handler = CurrentHandler();
  return handler ? handler(request) : AnswerWithoutChoice(request);
}

TMessageDlgHandler SetMessageDlgHandler(TMessageDlgHandler handler) {
  return std::exchange(CurrentHandler(), std::move(handler));
}

TScriptedMessageDlg::TScriptedMessageDlg(std::vector<TModalResult> answers)
    : answers_(std::move(answers)) {
  previous_ = SetMessageDlgHandler([this](const TMessageDlgRequest& request) {
    requests_.push_back(request);
    if (next_ < answers_.size()) return answers_[next_++];
    return AnswerWithoutChoice(request);
  });
}

TScriptedMessageDlg::~TScriptedMessageDlg() {
  SetMessageDlgHandler(std::move(previous_));
}
