// The program's entry: find the program folder, load the texts, create the window behind the
// tray icon, and run the loop until the window is closed.

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "app/headless_mirror.h"
#include "app/program_folder.h"
#include "app/standard_texts.h"
#include "app/termination_signals.h"
#include "app/text_table.h"
#include "app/translate_component.h"
#include "app/user_folders.h"
#include "platform/application.h"
#include "platform/registry_file.h"
#include "proxy/main_form.h"
#include "proxy/service_ports.h"
#include "quarantine/data_folder.h"
#include "quarantine/startup_pruning.h"

#ifdef BRINDLECAP_HAVE_GUI
#include "gui/qt_front_end.h"
#endif

namespace {

// A port variable that is not a port number is ignored; say so, or a typo would leave the
// service on its default port (or, for an ordinary user, not listening at all) with no hint.
void WarnAboutIgnoredPort(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0' || !PortFromEnvironment(name, "").empty()) return;
  std::fprintf(stderr, "brindlecap: %s=\"%s\" is not a port number (0 to 65535); using %s\n", name,
               value, fallback);
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread exists, so that only the loop ever sees these signals.
  TTerminationSignals::Block();

  WarnAboutIgnoredPort("BRINDLECAP_LISTEN_PORT", LocalServicePort().c_str());
  WarnAboutIgnoredPort("BRINDLECAP_UPSTREAM_PORT", UpstreamServicePort().c_str());

  InitProgramFolder();
  LoadTextTable(EditableFile("Server.ini"));
  ReadStandardTexts();
  PatchStandardTexts();

  auto form = std::make_unique<TFormVazireRevivo>();
  SetMainForm(form.get());
  form->SetWindowState(TWindowState::Minimized);
  TranslateComponent(*form);
  // A settings file that cannot be read is reported in the window's log, once.
  SetRegistryErrorHook(
      [log = form->Memo_LOG](const std::string& message) { log->Lines().Add(message); });

  bool headless = HeadlessRequested();
#ifdef BRINDLECAP_HAVE_GUI
  if (!headless && !AttachQtFrontEnd(argc, argv, *form)) headless = true;
#else
  (void)argc;
  (void)argv;
  headless = true;
#endif
  // Without a window there is no Reset button to press after a mail program dropped the line.
  form->ListenAfterDropAlways = headless;
  std::unique_ptr<THeadlessMirror> mirror;
  if (headless) {
    mirror = std::make_unique<THeadlessMirror>(*form, form->Memo_LOG, form->Memo_Meldungen);
  }
  // Copies of deleted mails are kept for "QuarantineDays" days; the log names those that go.
  PruneQuarantineAtStart(
      QuarantineFolder(), std::time(nullptr),
      [log = form->Memo_LOG](const std::string& line) { log->Lines().Add(line); });

  // SIGTERM and SIGINT end the program as the tray menu's Exit does once it is confirmed.
  // SIGUSR1 presses Reset: without a window nobody else can after a mail program left without
  // QUIT. Like the button it does nothing while a mail program is connected. (Not SIGHUP: a
  // closed terminal must still end the program rather than leave it listening unseen.)
  TTerminationSignals signals([&form](int signal) {
    if (signal != SIGUSR1) {
      form->Close();
    } else if (form->Button_RESET->Enabled()) {
      form->Button_RESETClick();
    }
  });

  Application->Run();
  SetRegistryErrorHook({});
  mirror.reset();
  form.reset();
  return 0;
}
