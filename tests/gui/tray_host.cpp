// A stand-in notification area for a private D-Bus session: it takes the place of the
// desktop's tray (the StatusNotifierWatcher and host), starts the program, and works its tray
// icon the way a desktop does: it reads the icon's properties and menu, clicks the icon, and
// chooses the menu's Exit entry. Exits 0 when the program's icon behaved, else 1.
//
//   tray_host PROGRAM

#include <signal.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace {

int failures = 0;

void Check(bool ok, const QString& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
  std::fflush(stdout);
  if (!ok) ++failures;
}

class TWatcher : public QDBusVirtualObject {
 public:
  QString lastItem;  // "service" or "service/path" as the item registered itself

  QString introspect(const QString&) const override {
    return QStringLiteral(
        "<interface name=\"org.kde.StatusNotifierWatcher\">"
        "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" direction=\"in\"/></method>"
        "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" direction=\"in\"/></method>"
        "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
        "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
        "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
        "</interface>");
  }

  bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
    const QString member = m.member();
    if (member == QLatin1String("RegisterStatusNotifierItem")) {
      const QString item = m.arguments().value(0).toString();
      lastItem = item.startsWith(u'/') ? m.service() + item : item;
      bus.send(m.createReply());
      return true;
    }
    if (member == QLatin1String("RegisterStatusNotifierHost")) {
      bus.send(m.createReply());
      return true;
    }
    const QVariantMap props{{"IsStatusNotifierHostRegistered", true},
                            {"ProtocolVersion", 0},
                            {"RegisteredStatusNotifierItems", QStringList{lastItem}}};
    if (member == QLatin1String("Get")) {
      const QString name = m.arguments().value(1).toString();
      bus.send(m.createReply(QVariant::fromValue(QDBusVariant(props.value(name)))));
      return true;
    }
    if (member == QLatin1String("GetAll")) {
      bus.send(m.createReply(props));
      return true;
    }
    return false;
  }
};

bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

struct TItem {
  QString service, path;
};

TItem SplitItem(const QString& item) {
  const qsizetype slash = item.indexOf(u'/');
  if (slash < 0) return {item, QStringLiteral("/StatusNotifierItem")};
  return {item.left(slash), item.mid(slash)};
}

QVariant Property(const TItem& item, const char* name) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      item.service, item.path, QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("Get"));
  call << QStringLiteral("org.kde.StatusNotifierItem") << QString::fromLatin1(name);
  QDBusMessage reply = QDBusConnection::sessionBus().call(call);
  if (reply.type() != QDBusMessage::ReplyMessage) return {};
  return reply.arguments().value(0).value<QDBusVariant>().variant();
}

// The menu's entries as (id, label), read from the dbusmenu layout.
QList<QPair<int, QString>> MenuEntries(const TItem& item, const QString& menuPath) {
  QDBusMessage call = QDBusMessage::createMethodCall(item.service, menuPath,
                                                     QStringLiteral("com.canonical.dbusmenu"),
                                                     QStringLiteral("GetLayout"));
  call << 0 << -1 << QStringList();
  QDBusMessage reply = QDBusConnection::sessionBus().call(call);
  QList<QPair<int, QString>> entries;
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) return entries;
  const QDBusArgument root = reply.arguments().at(1).value<QDBusArgument>();
  int id = 0;
  QVariantMap props;
  QVariantList children;
  root.beginStructure();
  root >> id >> props >> children;
  root.endStructure();
  for (const QVariant& child : children) {
    // Each child comes as a variant holding the structure, or as the structure itself.
    const QVariant inner = child.userType() == qMetaTypeId<QDBusVariant>()
                               ? child.value<QDBusVariant>().variant()
                               : child;
    const QDBusArgument arg = inner.value<QDBusArgument>();
    int childId = 0;
    QString label;
    arg.beginStructure();
    arg >> childId;
    arg.beginMap();
    while (!arg.atEnd()) {
      QString key;
      QDBusVariant value;
      arg.beginMapEntry();
      arg >> key >> value;
      arg.endMapEntry();
      if (key == QLatin1String("label")) label = value.variant().toString();
    }
    arg.endMap();
    arg.endStructure();
    entries.append({childId, label});
  }
  return entries;
}

bool ItemGone(const TItem& item) {
  return !QDBusConnection::sessionBus().interface()->isServiceRegistered(item.service).value();
}

// Starts the program and waits for its icon to register.
QProcess* Start(const QString& program, TWatcher& watcher) {
  watcher.lastItem.clear();
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process->start(program, {});
  Check(process->waitForStarted(5000), QStringLiteral("program starts"));
  Check(WaitFor([&] { return !watcher.lastItem.isEmpty(); }, 8000),
        QStringLiteral("its tray icon registers with the notification area"));
  return process;
}

void Stop(QProcess* process, const QString& when) {
  ::kill(static_cast<pid_t>(process->processId()), SIGTERM);
  const bool ended = WaitFor([&] { return process->state() == QProcess::NotRunning; }, 5000);
  Check(ended && process->exitCode() == 0, QStringLiteral("SIGTERM ends it cleanly ") + when);
  if (!ended) process->kill();
  process->waitForFinished(2000);
  delete process;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tray_host PROGRAM\n");
    return 2;
  }
  const QString program = QString::fromLocal8Bit(argv[1]);
  QDBusConnection bus = QDBusConnection::sessionBus();
  TWatcher watcher;
  if (!bus.isConnected() || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")) ||
      !bus.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), &watcher)) {
    std::fprintf(stderr, "tray_host: no private session bus to serve on\n");
    return 2;
  }

  // The icon as the desktop shows it, and a click on it.
  QProcess* process = Start(program, watcher);
  TItem item = SplitItem(watcher.lastItem);
  Check(Property(item, "Status").toString() == QLatin1String("Active"),
        QStringLiteral("the icon is shown"));
  Check(Property(item, "ToolTip").isValid(), QStringLiteral("it has a tool tip"));
  const QDBusArgument pixmaps = Property(item, "IconPixmap").value<QDBusArgument>();
  int sizes = 0;
  pixmaps.beginArray();
  while (!pixmaps.atEnd()) {
    int w = 0, h = 0;
    QByteArray data;
    pixmaps.beginStructure();
    pixmaps >> w >> h >> data;
    pixmaps.endStructure();
    if (w > 0 && data.size() == w * h * 4) ++sizes;
  }
  pixmaps.endArray();
  Check(sizes >= 3, QStringLiteral("it carries the program's own picture in %1 sizes").arg(sizes));
  const QString menuPath = Property(item, "Menu").value<QDBusObjectPath>().path();
  const auto entries = MenuEntries(item, menuPath);
  QStringList labels;
  for (const auto& e : entries) labels << e.second;
  std::printf("     menu: %s\n", qPrintable(labels.join(QStringLiteral(" | "))));
  // The entries carry the texts of the text table (the German ones beside the program).
  Check(labels ==
            QStringList({QStringLiteral("Anzeigen"), QStringLiteral("Konfigurationstool aufrufen"),
                         QStringLiteral("Beenden")}),
        QStringLiteral("its menu has Show, Config and Exit with their texts"));
  QDBusMessage activate = QDBusMessage::createMethodCall(
      item.service, item.path, QStringLiteral("org.kde.StatusNotifierItem"),
      QStringLiteral("Activate"));
  activate << 0 << 0;
  bus.call(activate);
  // The Show entry runs: the window comes and the icon goes.
  Check(WaitFor([&] { return ItemGone(item); }, 5000),
        QStringLiteral("a click shows the window and takes the icon away"));
  Stop(process, QStringLiteral("with the window shown"));

  // Exit from the menu opens the confirmation; a signal still ends the program.
  process = Start(program, watcher);
  item = SplitItem(watcher.lastItem);
  const auto again = MenuEntries(item, Property(item, "Menu").value<QDBusObjectPath>().path());
  if (again.size() == 3) {
    QDBusMessage event = QDBusMessage::createMethodCall(
        item.service, Property(item, "Menu").value<QDBusObjectPath>().path(),
        QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    event << again.at(2).first << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0))
          << 0u;
    bus.call(event);
    WaitFor([] { return false; }, 1000);
    Check(process->state() == QProcess::Running,
          QStringLiteral("Exit asks first: the program still runs"));
  }
  Stop(process, QStringLiteral("with the exit confirmation open"));
  return failures == 0 ? 0 : 1;
}
