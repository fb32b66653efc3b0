#pragma once
// The modal message box. Callers ask through MessageDlg; what answers is replaceable: the Qt
// front end installs a real box, tests install scripted answers. The request already carries
// the title and button captions from DialogTexts(), so every implementation shows the same.

#include <functional>
#include <string>
#include <vector>

enum class TMsgDlgType { Warning, Error, Information, Confirmation, Custom };
enum class TMsgDlgBtn { Yes, No, Ok, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };
enum class TModalResult { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No, All, NoToAll, YesToAll };

struct TMsgDlgButton {
  TMsgDlgBtn kind;
  std::string caption;
  TModalResult result;
};

struct TMessageDlgRequest {
  std::string title;
  std::string text;
  TMsgDlgType type = TMsgDlgType::Custom;
  std::vector<TMsgDlgButton> buttons;  // in the order given by the caller
  int helpContext = 0;
};

using TMessageDlgHandler = std::function<TModalResult(const TMessageDlgRequest&)>;

// Shows a message box and returns the chosen button's result.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type,
                        const std::vector<TMsgDlgBtn>& buttons, int helpContext = 0);
// Builds the request MessageDlg hands to the handler.
TMessageDlgRequest MakeMessageDlgRequest(const std::string& text, TMsgDlgType type,
                                         const std::vector<TMsgDlgBtn>& buttons, int helpContext);
// Installs the implementation and returns the previous one. An empty handler restores the
// default, which shows nothing and answers as a box closed without a choice would: Cancel
// when offered, else No, else the only button, else None.
TMessageDlgHandler SetMessageDlgHandler(TMessageDlgHandler handler);

// Test helper: answers with the given results in turn and records every request. While it
// lives it is the message box; it puts the previous one back when it goes.
class TScriptedMessageDlg {
 public:
  explicit TScriptedMessageDlg(std::vector<TModalResult> answers = {});
  ~TScriptedMessageDlg();
  TScriptedMessageDlg(const TScriptedMessageDlg&) = delete;
  TScriptedMessageDlg& operator=(const TScriptedMessageDlg&) = delete;

  void Answer(TModalResult result) { answers_.push_back(result); }
  const std::vector<TMessageDlgRequest>& Requests() const { return requests_; }

 private:
  std::vector<TModalResult> answers_;
  size_t next_ = 0;
  std::vector<TMessageDlgRequest> requests_;
  TMessageDlgHandler previous_;
};
