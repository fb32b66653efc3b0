#include "config/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "config/autostart.h"
#include "config/policy_settings.h"
#include "config/port_settings.h"
#include "config/program_texts.h"
#include "config/quarantine_command.h"
#include "config/security_settings.h"
#include "config/service_settings.h"
#include "config/settings_edit.h"

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

// A command line that does not fit its command.
class EUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TCall {
  const std::vector<std::string>& args;
  const TConfigPlaces& places;
  std::istream& in;
  std::ostream& out;
  std::ostream& err;

  void Expect(std::size_t least, std::size_t most) const {
    std::size_t given = args.size() - 1;
    if (given < least || given > most)
      throw EUsage("'" + args[0] + "' takes " +
                   (least == most ? std::to_string(least)
                                  : std::to_string(least) + " to " + std::to_string(most)) +
                   " argument" + (most == 1 ? "" : "s"));
  }
};

void PrintNotes(const TCall& call) {
  for (const std::string& note : SettingNotes(ListSettings(call.places.registryPath)))
    call.err << "brindlecap-config: note: " << note << "\n";
}

// A file named on the command line, "-" meaning standard input.
std::string ReadInput(const TCall& call, const std::string& name) {
  if (name == "-") {
    std::ostringstream contents;
    contents << call.in.rdbuf();
    return contents.str();
  }
  return ReadWholeFile(name);
}

TProgramText ProgramTextArgument(const std::string& name) {
  if (std::optional<TProgramText> kind = FindProgramText(name)) return *kind;
  throw EUsage("'" + name +
               "' is none of the program's texts: RenameTXT.txt, RenameHTML.txt, response.eml");
}

int Show(const TCall& call) {
  call.Expect(0, 0);
  std::vector<TRegValue> values = ListSettings(call.places.registryPath);
  call.out << "Settings in " << SettingsKeyFullPath() << "\n"
           << "(file " << call.places.registryPath << ")\n";
  if (values.empty()) {
    call.out << "The key holds no values; the proxy uses its defaults.\n";
    return kDone;
  }
  std::size_t width = 4;
  for (const TRegValue& v : values) width = std::max(width, v.name.size());
  for (const TRegValue& v : values) {
    std::string name = v.name.empty() ? "@" : v.name;
    std::string type = SettingTypeName(v);
    call.out << "  " << name << std::string(width - name.size() + 2, ' ') << type
             << std::string(type.size() < 9 ? 9 - type.size() : 1, ' ') << SettingDataText(v)
             << "\n";
  }
  for (const std::string& note : SettingNotes(values)) call.out << "Note: " << note << "\n";
  return kDone;
}

int Policy(const TCall& call) {
  call.Expect(0, 0);
  call.out << DescribePolicy(ReadPolicySettings(call.places.registryPath));
  return kDone;
}

// Shows the switch without an argument, sets it with "on" or "off".
int ListenAfterDrop(const TCall& call) {
  call.Expect(0, 1);
  if (call.args.size() == 2) {
    const std::string& choice = call.args[1];
    if (choice != "on" && choice != "off") throw EUsage("'listen-after-drop' takes on or off");
    WriteListenAfterDrop(call.places.registryPath, choice == "on");
  }
  const bool on = ReadListenAfterDrop(call.places.registryPath);
  call.out << kListenAfterDropName << " " << (on ? "on" : "off") << "\n"
           << DescribeListenAfterDrop(on);
  return kDone;
}

int Set(const TCall& call) {
  call.Expect(3, 3);
  TRegValue value = ParseSettingArgument(call.args[1], call.args[2], call.args[3]);
  SetSetting(call.places.registryPath, value);
  call.out << value.name << " = " << SettingDataText(value) << " (" << SettingTypeName(value)
           << ")\n";
  PrintNotes(call);
  return kDone;
}

int Delete(const TCall& call) {
  call.Expect(1, 1);
  DeleteSetting(call.places.registryPath, call.args[1]);
  call.out << call.args[1] << " deleted\n";
  PrintNotes(call);
  return kDone;
}

int Import(const TCall& call) {
  call.Expect(1, 2);
  std::vector<std::string> rest(call.args.begin() + 1, call.args.end());
  bool replace = std::erase(rest, "--replace") > 0;
  if (rest.size() != 1) throw EUsage("'import' takes one file and, if wanted, --replace");
  ImportSettings(call.places.registryPath, ReadInput(call, rest[0]), replace);
  call.out << (replace ? "store replaced by " : "imported ") << rest[0] << "\n";
  PrintNotes(call);
  return kDone;
}

int Export(const TCall& call) {
  call.Expect(0, 1);
  std::string text = ExportSettings(call.places.registryPath);
  if (call.args.size() == 1 || call.args[1] == "-") {
    call.out << text;
    return kDone;
  }
  try {
    ReplaceFileAtomically(call.args[1], text);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(e.what());
  }
  return kDone;
}

int Path(const TCall& call) {
  call.Expect(0, 0);
  call.out << call.places.registryPath << "\n";
  return kDone;
}

int Files(const TCall& call) {
  call.Expect(0, 0);
  for (const TProgramTextInfo& info : ProgramTexts()) {
    std::string path = ProgramTextPath(call.places, info.kind);
    bool present = std::filesystem::is_regular_file(path);
    call.out << path << (present ? "" : "  (missing)") << "\n    " << info.role << "\n";
    // The program folder's copy is read until the user has one of their own.
    if (!call.places.userFolder.empty() && path.rfind(call.places.userFolder + "/", 0) != 0)
      call.out << "    replace-file writes " << call.places.userFolder << "/" << info.fileName
               << "\n";
  }
  return kDone;
}

int ShowFile(const TCall& call) {
  call.Expect(1, 1);
  call.out << ReadProgramText(call.places, ProgramTextArgument(call.args[1]));
  return kDone;
}

int ReplaceFile(const TCall& call) {
  call.Expect(2, 2);
  TProgramText kind = ProgramTextArgument(call.args[1]);
  std::string contents = ReadInput(call, call.args[2]);
  for (const std::string& note : ReplaceProgramText(call.places, kind, contents))
    call.err << "brindlecap-config: note: " << note << "\n";
  call.out << ProgramTextPath(call.places, kind) << " replaced\n";
  return kDone;
}

int Port(const TCall& call) {
  call.Expect(0, 2);
  if (call.args.size() == 2) throw EUsage("'port " + call.args[1] + "' needs a number or default");
  if (call.args.size() == 3) {
    const std::optional<TPortKind> kind = FindPortKind(call.args[1]);
    if (!kind) throw EUsage("'" + call.args[1] + "' is no port: listen or upstream");
    if (call.args[2] == "default") {
      ClearPortSetting(call.places.registryPath, *kind);
    } else {
      SetPortSetting(call.places.registryPath, *kind, ParsePortArgument(call.args[2]));
    }
  }
  call.out << DescribePorts(call.places.registryPath,
                            [](const char* name) { return std::getenv(name); });
  return kDone;
}

int Autostart(const TCall& call) {
  call.Expect(0, 1);
  const std::string& entry = call.places.autostartPath;
  if (call.args.size() == 2) {
    if (call.args[1] == "on") {
      EnableAutostart(entry, call.places.programFolder + "/brindlecap");
    } else if (call.args[1] == "off") {
      DisableAutostart(entry);
    } else {
      throw EUsage("'autostart' takes on or off");
    }
  }
  call.out << "autostart " << (AutostartEnabled(entry) ? "on" : "off") << " (" << entry << ")\n";
  return kDone;
}

int Quarantine(const TCall& call) {
  try {
    return RunQuarantineCommand(call.args, call.places.QuarantineFolder(), call.out);
  } catch (const EQuarantineUsage& e) {
    throw EUsage(e.what());
  } catch (const EQuarantineError& e) {
    throw EConfigError(e.what());
  }
}

int Security(const TCall& call) {
  call.Expect(0, 1);
  if (call.args.size() == 2) {
    const std::optional<TUpstreamSecurity> security = FindSecurity(call.args[1]);
    if (!security) throw EUsage("'" + call.args[1] + "' is none of plain, stls, tls");
    SetSecuritySetting(call.places.registryPath, *security);
  }
  call.out << DescribeSecurity(call.places.registryPath);
  return kDone;
}

int CAFile(const TCall& call) {
  call.Expect(0, 1);
  if (call.args.size() == 2) {
    if (call.args[1] == "none")
      ClearCAFileSetting(call.places.registryPath);
    else
      SetCAFileSetting(call.places.registryPath, call.args[1]);
  }
  call.out << DescribeSecurity(call.places.registryPath);
  return kDone;
}

int Help(const TCall& call) {
  call.out << ConfigUsage();
  return kDone;
}

struct TCommand {
  const char* name;
  int (*run)(const TCall&);
};

constexpr TCommand kCommands[] = {
    {"show", Show},
    {"policy", Policy},
    {"set", Set},
    {"listen-after-drop", ListenAfterDrop},
    {"delete", Delete},
    {"import", Import},
    {"export", Export},
    {"path", Path},
    {"files", Files},
    {"show-file", ShowFile},
    {"replace-file", ReplaceFile},
    {"port", Port},
    {"autostart", Autostart},
    {"security", Security},
    {"cafile", CAFile},
    {"quarantine", Quarantine},
    {"--help", Help},
    {"-h", Help},
    {"help", Help},
};

}  // namespace

std::string ConfigUsage() {
  return R"(Usage: brindlecap-config COMMAND [ARGUMENTS]

Changes the settings the Brindlecap proxy reads, and the texts it uses, at once: the proxy
reads them afresh for every mail check. Refused input changes nothing.

Settings (key HKEY_LOCAL_MACHINE\SOFTWARE\Oskendar\Brindlecap):
  show                      list the key's values with their types
  policy                    say what the proxy will do with these settings
  set NAME TYPE VALUE       set a value; TYPE is one of
                              integer  decimal (-2147483648 .. 4294967295) or 0x hexadecimal
                              string   the text as given
                              expand   an expandable string, the text as given
                              binary   two-digit hex bytes, e.g. 01,00,00,00 ("" for none)
  delete NAME               delete a value
  import FILE [--replace]   merge a REGEDIT4 file into the store ("-" reads standard input);
                            with --replace the file becomes the whole store
  export [FILE]             write the store as a REGEDIT4 file (to standard output without FILE)
  listen-after-drop [on|off]
                            show or set whether the service listens again at once after a
                            mail program dropped its connection without QUIT
  path                      print where the store file is: $BRINDLECAP_REGISTRY, else
                            $XDG_CONFIG_HOME/brindlecap/registry.reg, else
                            ~/.config/brindlecap/registry.reg

The proxy reads these values:
  Aktion                        1 (or missing, or 0) = rename a blocked attachment and put a
                                notice into the mail; 2 = delete the mail on the server; any
                                other number = only log the find
  CheckBox_CheckAttach_Skripte  0 = do not block scripts (JS WSH VBS WSC VBE VB SCT)
  CheckBox_CheckAttach_EXEs     0 = do not block programs (EXE COM BAT)
  CheckBox_CheckAttach_Other    0 = do not block the extensions listed in Others
  Others                        your own extensions, separated by "," without blanks
  CheckBox_SendError            1 = prepare a report mail for every deleted mail
  StrictAttachmentNames         1 = judge every name a mail program may take (encoded,
                                split, hidden in attached mails); recommended
  ListenAfterDrop               1 = after a mail program dropped its connection without QUIT,
                                listen again at once instead of waiting for Reset (without a
                                window the service always does)
  A missing switch counts as on. Note: any value whose name merely begins with a switch's
  name, while the switch itself is missing, turns that group off.

Texts in the program folder (when that folder is not yours to write, your own copies in
$XDG_CONFIG_HOME/brindlecap are read first, and replace-file writes there):
  files                     list them with the paths the proxy reads them from
  show-file NAME            print one of them
  replace-file NAME SOURCE  replace one with the contents of SOURCE ("-" reads standard input)
  NAME is RenameTXT.txt (or notice-text), RenameHTML.txt (notice-html) or response.eml
  (report-template, with the placeholders XXX%1 recipient, XXX%2 subject, XXX%3 sender)

Ports and start:
  port                      show the two ports the proxy uses and where each comes from
  port listen NUMBER        the port the mail program connects to (ListenPort; standard 111)
  port upstream NUMBER      the port of the real POP3 server (UpstreamPort; standard 110)
  port listen|upstream default   remove the setting, back to the standard port
                            (BRINDLECAP_LISTEN_PORT and BRINDLECAP_UPSTREAM_PORT override
                            both settings; a running proxy takes a new listen port at Reset)
  autostart [on|off]        start the proxy when you log in to the desktop (an entry in
                            $XDG_CONFIG_HOME/autostart), or stop doing so
Copies of deleted mails (kept in $XDG_DATA_HOME/brindlecap/quarantine, else
~/.local/share/brindlecap/quarantine):
  quarantine list           the copies, oldest first: number, date, sender, subject and the
                            blocked attachment names
  quarantine export N FILE  write copy N (a number from the list, or its file name) to FILE
                            as the server sent it, to open in a mail program ("-" for
                            standard output)
  quarantine remove N       remove copy N
  Settings: Quarantine 0 = delete without a copy (missing or 1 = keep one); QuarantineDays =
  days a copy is kept, removed when the proxy starts (missing: 30; 0 = until removed here)

The real server (USER pop.example.org:995/you names a port; README has the trust rules):
  security [plain|stls|tls] how the session to the real server is protected (UpstreamSecurity):
                            plain (0) plain text, except that port 995 always means TLS;
                            stls (1) STLS required; tls (2) TLS from the first byte (port 995)
  cafile [FILE|none]        a PEM file of authorities, or a server's own certificate, trusted
                            besides the system's (UpstreamCAFile); none removes it

  --help                    this text

Exit status: 0 done, 1 refused or failed (nothing changed), 2 wrong command line.
)";
}

int RunConfigCommand(const std::vector<std::string>& args, const TConfigPlaces& places,
                     std::istream& in, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << ConfigUsage();
    return kUsage;
  }
  const TCall call{args, places, in, out, err};
  for (const TCommand& command : kCommands) {
    if (args[0] != command.name) continue;
    try {
      return command.run(call);
    } catch (const EUsage& e) {
      err << "brindlecap-config: " << e.what() << "\nTry 'brindlecap-config --help'.\n";
      return kUsage;
    } catch (const EConfigError& e) {
      err << "brindlecap-config: " << e.what() << "\n";
      return kRefused;
    } catch (const std::exception& e) {
      err << "brindlecap-config: " << e.what() << "\n";
      return kRefused;
    }
  }
  err << "brindlecap-config: unknown command '" << args[0]
      << "'\nTry 'brindlecap-config --help'.\n";
  return kUsage;
}
