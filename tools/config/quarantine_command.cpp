#include "config/quarantine_command.h"

#include <ostream>

#include "config/command_line.h"
#include "quarantine/data_folder.h"

std::string TConfigPlaces::QuarantineFolder() const {
  return quarantineFolder.empty() ? ::QuarantineFolder() : quarantineFolder;
}

namespace {

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string LocalMoment(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string PrintableValue(const std::string& value) {
  std::string out = value;
  for (char& c : out) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return out;
}

std::string BlockedNames(const TQuarantineCopy& copy) {
  if (!copy.Described) return "(not recorded: the description beside the copy is missing)";
  std::string names;
  for (const std::string& name : copy.Record.Blocked) {
    if (!names.empty()) names += ", ";
    names += PrintableValue(name);
  }
  return names;
}

std::string DescribeQuarantine(const TQuarantine& quarantine) {
  const std::vector<TQuarantineCopy> copies = quarantine.List();
  std::string text = "Quarantine folder: " + quarantine.Folder() + "\n";
  if (copies.empty()) return text + "The quarantine holds no copies.\n";
  text += Plural(copies.size(), "copy", "copies") + ", oldest first:\n";
  for (std::size_t i = 0; i < copies.size(); ++i) {
    const TQuarantineCopy& copy = copies[i];
    const std::string number = std::to_string(i + 1);
    const std::string indent(number.size() + 2, ' ');
    text += number + "  " + LocalMoment(copy.Copied) + "  " + copy.FileName + "  (" +
            Plural(static_cast<std::size_t>(copy.Size), "byte", "bytes") + ")\n";
    text += indent + "From:    " + PrintableValue(copy.Record.From) + "\n";
    text += indent + "Subject: " + PrintableValue(copy.Record.Subject) + "\n";
    text += indent + "Blocked: " + BlockedNames(copy) + "\n";
  }
  return text;
}

int RunQuarantineCommand(const std::vector<std::string>& args, const std::string& folder,
                         std::ostream& out) {
  const TQuarantine quarantine(folder);
  const std::string what = args.size() > 1 ? args[1] : "";
  if (what == "list" && args.size() == 2) {
    out << DescribeQuarantine(quarantine);
    return 0;
  }
  if (what == "export" && args.size() == 4) {
    const TQuarantineCopy copy = quarantine.Find(args[2]);
    if (args[3] == "-") {
      out << quarantine.ReadMail(copy);
      return 0;
    }
    quarantine.Export(copy, args[3]);
    out << copy.FileName << " written to " << args[3] << "\n";
    return 0;
  }
  if (what == "remove" && args.size() == 3) {
    const TQuarantineCopy copy = quarantine.Find(args[2]);
    quarantine.Remove(copy);
    out << copy.FileName << " removed\n";
    return 0;
  }
  throw EQuarantineUsage("'quarantine' takes list, export N FILE or remove N");
}
