// Every log line and progress step of a mail check passes through the front end while the
// proxy waits; these figures say what that costs per change, on the offscreen platform.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "gui/form_renderer.h"

namespace {

struct TBenchForm : TForm {
  TBenchForm() {
    SetBounds(0, 0, 446, 390);
    Log = NewComponent<TMemo>(this, "Log");
    Log->SetBounds(4, 124, 437, 224);
    Log->SetReadOnly(true);
    Log->SetScrollBars(TScrollStyle::Vertical);
    Bar = NewComponent<TProgressBar>(this, "Bar");
    Bar->SetBounds(132, 76, 309, 16);
    Status = NewComponent<TLabel>(this, "Status");
    Status->SetBounds(8, 52, 432, 14);
    Show();
  }
  TMemo* Log;
  TProgressBar* Bar;
  TLabel* Status;
};

// One log line appended to a memo that already holds `state.range(0)` lines.
void BM_LogLine(benchmark::State& state) {
  TBenchForm form;
  TQtFormRenderer renderer(form, TQtFormRenderer::TOptions{false});
  for (int i = 0; i < state.range(0); ++i) form.Log->Lines().Add("+OK line " + std::to_string(i));
  int n = 0;
  for (auto _ : state) {
    form.Log->Lines().Add("RETR " + std::to_string(++n) + " +OK 4711 octets");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogLine)->Arg(0)->Arg(10000);

// A progress step and a status text, as the download shows them for every mail.
void BM_ProgressStep(benchmark::State& state) {
  TBenchForm form;
  TQtFormRenderer renderer(form, TQtFormRenderer::TOptions{false});
  int n = 0;
  for (auto _ : state) {
    ++n;
    form.Bar->SetPosition(n % 101);
    form.Status->SetCaption(n % 2 ? "Neue E-Mails werden heruntergeladen" : "Bereit");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProgressStep);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
