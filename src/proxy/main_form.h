#pragma once
// The proxy's one window: status line, step marks, progress bars, log and results pages, the
// buttons, the tray icon with its menu and the reply time-out timer. The window owns every
// component; the service parts hook their actions into the handlers declared here. The file of
// each handler is listed in docs/ARCHITECTURE.md.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/wsocket.h"
#include "platform/forms.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/command_lines.h"
#include "proxy/help_components.h"

class TFormVazireRevivo : public TForm {
 public:
  // Builds every control and then runs FormCreate, as the window's creation does.
  explicit TFormVazireRevivo(TComponent* owner = nullptr);
  ~TFormVazireRevivo() override;

  // Header band and header lines.
  TGradientBand* Gradient_Header;
  TLabel* Label_hinweis1;
  TLabel* Label_Hinweis2;
  TBevel* Bevel_Header;
  TLabel* Label_Status;
  // Download progress.
  TLabel* Label_ProgressBar1;
  TLabel* Label_Mails;
  TProgressBar* ProgressBar1;
  TLabel* Label_Progressbar2;
  TProgressBar* ProgressBar2;
  // Pages.
  TPageControl* PageControl1;
  TTabSheet* TabSheet_Fortschritt;
  TTabSheet* TabSheet_LOG;
  TTabSheet* TabSheet_MELDUNGEN;
  TMemo* Memo_LOG;
  TMemo* Memo_Meldungen;
  // The seven step rows of the first page, top to bottom.
  TBevel* Bevel_LogIn;
  TImage* Image_LogIn;
  TLabel* Label_LogIn;
  TBevel* Bevel_STAT;
  TImage* Image_STAT;
  TLabel* Label_STAT;
  TBevel* Bevel_LIST;
  TImage* Image_LIST;
  TLabel* Label_LIST;
  TBevel* Bevel_RETR;
  TImage* Image_RETR;
  TLabel* Label_RETR;
  TBevel* Bevel_ATTACHMENTS;
  TImage* Image_ATTACHMENTS;
  TLabel* Label_ATTACHMENTS;
  TBevel* Bevel_SENT;
  TImage* Image_SENT;
  TLabel* Label_SENT;
  TBevel* Bevel_QUIT;
  TImage* Image_QUIT;
  TLabel* Label_QUIT;
  // Buttons.
  TBevel* Bevel_Buttons;
  TButton* Button_CONFIG;
  TButton* Button_RESET;
  TButton* Button_Help;
  TButton* Button1;
  TButton* Button_Abbrechen;
  // Tray.
  TPopupMenu* TrayMenu;
  TMenuItem* TrayMenu_Anzeigen;
  TMenuItem* TrayMenu_Config;
  TMenuItem* TrayMenu_Beenden;
  TTrayIcon* TrayIcon1;
  // Non-visual parts.
  TTimer* Timer_TimeOut;
  THelpRouter* HelpRouter1;
  TWhatsThis* WhatsThis1;

  // The step images in step order (log-in first, quit last).
  std::array<TImage*, 7> StepImages() const;

  // The reply wait ends at once when this is set: by the reply time-out, or by closing.
  bool TimedOut = false;
  // The user pressed Cancel; stays set until the Reset action or QUIT clears it.
  bool AbortRequested = false;

  // --- Local service and upstream session ---
  // The mail program's socket: it listens, then adopts the one accepted connection.
  std::unique_ptr<TWSocket> WSocket1;
  // The client toward the real server; the proxy starts its requests and waits itself.
  std::unique_ptr<TSyncPop3Cli> Pop3Cli1;
  // Taken from USER and PASS; the password's length masks the trace.
  std::string UpstreamHost;
  std::string UpstreamUser;
  std::string UpstreamPassword;
  // The last line the client reported, or the text a wait ended with.
  std::string LastReply;
  bool RequestFinished = false;
  // Upstream LIST lines are still expected.
  bool ListingPending = false;
  // The server numbers the attachment policy deleted in this upstream session: RSET undoes
  // every deletion on the server, and these are sent again.
  std::vector<std::int32_t> SessionPolicyDeletions;
  // An upstream RETR runs: the mail program's input is held back meanwhile.
  bool RetrievePending = false;
  // A server that answered QUIT but keeps its session open is dropped after this long.
  std::uint32_t QuitCloseLimitMs = 10000;
  // After a mail program left without QUIT the service listens again by itself: always when
  // this is set (no window, so no Reset button), else when the setting ListenAfterDrop is 1.
  bool ListenAfterDropAlways = false;
  bool ListenAfterDropWanted() const;
  // The longest AwaitReply and AwaitIdle sleep before they look again.
  std::uint32_t WaitStepMs = 20;

  void WSocketServer1SessionAvailable(TCustomWSocket* Sender, std::uint16_t Error);
  void WSocketServer1DataAvailable(TCustomWSocket* Sender, std::uint16_t Error);
  void WSocket1SessionClosed(TCustomWSocket* Sender, std::uint16_t Error);
  void WSocketServer1Error(TCustomWSocket* Sender);
  // Runs the handler of one command line (Text ends with CR LF). An error raised while it runs
  // ends the command with an "-ERR" reply; the connection stays open.
  void DispatchCommand(const std::string& Text);
  // Returns once everything queued on the socket has been handed to the system.
  void WaitUntilSent(TWSocket* Socket);

  void HandleUser(TWSocket* Socket, const std::string& Text);
  void HandlePass(TWSocket* Socket, const std::string& Text);
  void HandleQuit(TWSocket* Socket, const std::string& Text);
  // Asks the server: starts one request of the client (Connect, User, Pass, Stat, List, Dele)
  // and waits for its outcome, which LastReply then holds. False when the user has cancelled,
  // during the request or before it (then nothing is sent); the caller answers with its abort
  // reply.
  bool AskServer(void (TCustomPop3Cli::*Request)());
  // The reply to a command that needs the server after the user pressed Cancel.
  static constexpr char AbortedByUserReply[] = "-ERR Request aborted by User\r\n";
  // Waits for the outcome of the request just started; LastReply then holds it.
  void AwaitReply();
  // Waits until the client has no request in progress (bounded, see QuitCloseLimitMs).
  void AwaitIdle();

  void Pop3Cli1Response(TCustomPop3Cli* Sender, const std::string& Msg);
  void Pop3Cli1RequestDone(TCustomPop3Cli* Sender, TPop3Request RqType, std::uint16_t Error);
  void Pop3Cli1Display(TCustomPop3Cli* Sender, const std::string& Msg);
  void Pop3Cli1SessionConnected(TCustomPop3Cli* Sender, std::uint16_t Error);
  void Pop3Cli1SessionClosed(TCustomPop3Cli* Sender, std::uint16_t Error);

  // Adds a group of result lines (texts by id) followed by the line of dashes, and shows it.
  void AddResultGroup(std::initializer_list<int> TextIds);
  // The same for lines already composed (texts with the mail's sender, subject, names).
  void AddResultLines(const std::vector<std::string>& Lines);
  // --- end of local service and upstream session ---

  // Window events.
  void FormCreate();
  void FormClose(TCloseAction& action);
  bool FormHelp(int command, int data, bool& callHelp);
  void WhatsThis1Popup(bool& doPopup);

  // Buttons and tray menu.
  void Button_CONFIGClick();
  void Button_RESETClick();
  void Button_HelpClick();
  void Button1Click();
  void Button_AbbrechenClick();
  void TrayMenu_AnzeigenClick();
  void TrayMenu_ConfigClick();
  void TrayMenu_BeendenClick();
  void Timer_TimeOutTimer();

  // Display operations.
  void ResetDisplay();
  void ShowResults();
  // Back to the tray: the icon shows, the window goes.
  void HideToTray();

  // --- Mail inspection and mailbox commands ---
  // The mail program's mailbox commands; each sends its replies on the session socket.
  void HandleStat(class TWSocket* Socket, const std::string& Text);
  void HandleList(class TWSocket* Socket, const std::string& Text);
  void HandleRetr(class TWSocket* Socket, const std::string& Text);
  void HandleDele(class TWSocket* Socket, const std::string& Text);
  // Commands beyond the designed set that mail programs rely on: answered from the checked
  // store where they concern mails (UIDL, TOP), locally (CAPA, NOOP) or by the server (RSET).
  void HandleCapa(class TWSocket* Socket, const std::string& Text);
  void HandleNoop(class TWSocket* Socket, const std::string& Text);
  void HandleUidl(class TWSocket* Socket, const std::string& Text);
  void HandleTop(class TWSocket* Socket, const std::string& Text);
  void HandleRset(class TWSocket* Socket, const std::string& Text);
  // Empties the message store and the listing sizes, so that no mail outlives the mail
  // program's connection; called when that connection ends.
  void ClearMessageStore();
  // The work behind STAT: download every mail, decode it and apply the attachment policy.
  // Also run by the first LIST, RETR or DELE of a connection that sent no STAT.
  enum class TMailboxCheck { Checked, Answered };
  TMailboxCheck CheckMailbox(class TWSocket* Socket);
  void PrepareStore();
  // Asks the server for its unique ids after the listing; a refusal is kept, not a failure.
  void FetchUniqueIds();
  bool DownloadAndDecodeAll();
  void CheckAttachments();
  void SendReport(const std::string& From, const std::string& Subject, const std::string& To);
  // After a rename: when the attachment rule still finds a blocked name in entry `Index`, the
  // mail is taken out of the store (it stays on the server) with a log line and a results
  // group, and false is returned.
  bool WithholdUnrenamed(std::size_t Index, const struct TBlockPolicy& Policy);
  // Handlers of the POP3 client's listing and message lines and of the decoder's part header
  // lines.
  void Pop3Cli1ListLine();
  void Pop3Cli1MessageLine();
  void Pop3Cli1ListEnd();
  void Pop3Cli1UidlLine();
  void Pop3Cli1MessageEnd();
  void MimeDecode1PartHeaderLine();
  // This connection's store holds its checked mailbox.
  bool MailboxChecked = false;
  // The server's reply when it gave no usable unique-id listing for the check; empty when
  // every stored mail has its id.
  std::string UniqueIdRefusal;
  // Decodes each downloaded mail for its header values and attachment names.
  std::shared_ptr<class TMimeDecode> MimeDecode1;
  // What the listing and the download in progress have seen (defined with the download).
  struct TDownloadState;
  std::shared_ptr<TDownloadState> Download;
  // --- end of mail inspection ---

 private:
  void CreateControls();
  void CreateStepRows();
  void CreateTray();
  void ConnectHandlers();
  void CreateServiceComponents();
  // Runs the complete command lines one after the other, unless a command already runs.
  void RunWaitingCommands();
  void ScheduleWaitingCommands();
  // The last steps of the Reset action: log and listen.
  void StartListening();
  // The end of a mail program's session; once no command runs any more, the service listens
  // again if nobody restarted it and a restart is wanted.
  void NoteSessionClosed();
  void ListenAgainIfDropped();
  void StopListenAgainTimer();

  // A command is being handled (another line can arrive while it waits).
  bool commandRunning_ = false;
  // What the mail program sent and no command has taken yet, in arrival order.
  TCommandLines commandLines_;
  bool waitingCommandsScheduled_ = false;
  // A Reset ran while a command was running; the service listens once that command returned.
  bool listenDeferred_ = false;
  TNotifyTarget serviceTarget_ = 0;
  // A mail program's session is open (adopted, not yet closed).
  bool sessionOpen_ = false;
  TTimerId listenAgainTimer_ = 0;
  // The server's unique-id listing began (a positive reply) and arrived up to its end.
  bool uniqueIdsBegun_ = false;
  bool uniqueIdsComplete_ = false;
  // Where the next unique-id line's mail is looked for first.
  std::size_t uniqueIdCursor_ = 0;
};
