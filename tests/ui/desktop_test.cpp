// The window on a real display server, run by desktop_session.sh under Xvfb and under a headless
// weston: a StatusNotifierItem tray on the session bus, the X11 clipboard held by another
// program, the window class its desktop entry names.
#include "ui/desktop.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "ui_support.h"

namespace {

// Another X client that owns the clipboard: it hands `text` over when asked, or, silent, never
// answers at all (a program that hangs).
class ClipboardOwner {
 public:
  explicit ClipboardOwner(std::string text) : text_(std::move(text)), x_(xcb_connect(nullptr, nullptr)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x_)).data;
    window_ = xcb_generate_id(x_);
    xcb_create_window(x_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    clipboard_ = Atom("CLIPBOARD");
    targets_ = Atom("TARGETS");
    utf8_ = Atom("UTF8_STRING");
    xcb_set_selection_owner(x_, window_, clipboard_, XCB_CURRENT_TIME);
    xcb_flush(x_);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Serve(); });
  }
  ~ClipboardOwner() {
    notifier_.reset();
    xcb_disconnect(x_);
  }
  void SetSilent(bool silent) { notifier_->setEnabled(!silent); }

 private:
  xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x_, xcb_intern_atom(x_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
  }
  void Serve() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(x_)) {
      if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) Answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
      std::free(event);
    }
  }
  void Answer(const xcb_selection_request_event_t& request) {
    xcb_atom_t property = request.property;
    if (request.target == targets_) {
      const xcb_atom_t offered[] = {targets_, utf8_};
      xcb_change_property(x_, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32, 2, offered);
    } else if (request.target == utf8_) {
      xcb_change_property(x_, XCB_PROP_MODE_REPLACE, request.requestor, property, utf8_, 8,
                          static_cast<uint32_t>(text_.size()), text_.data());
    } else {
      property = XCB_NONE;
    }
    // response_type, pad0, sequence, time, requestor, selection, target, property
    const xcb_selection_notify_event_t notify{
        XCB_SELECTION_NOTIFY, 0, 0, request.time, request.requestor, request.selection, request.target, property};
    xcb_send_event(x_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(x_);
  }

  std::string text_;
  xcb_connection_t* x_;
  xcb_window_t window_ = 0;
  xcb_atom_t clipboard_ = 0, targets_ = 0, utf8_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT

  QProcess tray_;
  QString trayOutput_;

  // Sends the tray host's request and waits for what it printed to grow by `expected`.
  bool TrayHost(const QByteArray& request, const QString& expected = {}) {
    if (!request.isEmpty()) tray_.write(request + "\n");
    const QString before = trayOutput_;
    for (int i = 0; i < 100 && !expected.isEmpty(); ++i) {
      trayOutput_ += QString::fromUtf8(tray_.readAllStandardOutput());
      if (trayOutput_.mid(before.size()).contains(expected)) return true;
      QTest::qWait(50);
    }
    return expected.isEmpty();
  }

 private slots:
  void initTestCase() {
    zun::ui::SetApplicationIdentity();
    // The tray is there before the first icon is made: Qt picks the icon's kind once.
    tray_.start(FAKE_TRAY_WATCHER, {});
    QVERIFY(TrayHost({}, "ready"));
  }
  void cleanupTestCase() {
    tray_.closeWriteChannel();
    if (!tray_.waitForFinished(3000)) tray_.kill();
  }
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  // A click on the icon of a StatusNotifierItem tray (Activate) brings the window back out of
  // the tray; a middle click (SecondaryActivate) does not. The right click shows the menu the
  // item exports, whose entries work.
  void aClickOnTheTraysItemBringsTheWindowBack() {
    uitest::Window w;
    w.realTray = true;
    QVERIFY(w.Start());
    QVERIFY(TrayHost({}, "registered"));
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    QCOMPARE(w.Record(2).Flag2, int16_t{-1});
    TrayHost("secondary");
    QTest::qWait(300);
    QVERIFY(!w.window->isVisible());
    TrayHost("activate");
    QTRY_VERIFY(w.window->isVisible() && !w.window->isMinimized());
    QCOMPARE(w.Record(2).Flag2, int16_t{0});
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    QVERIFY(TrayHost("menu", "menu _Convert Clipboard|_Restore Window||_Exit"));
    TrayHost("click _Restore Window");
    QTRY_VERIFY(w.window->isVisible() && !w.window->isMinimized());
  }

  // Text held by another program becomes the document; an owner that never answers leaves the
  // window running its events and is named as such, not as an empty clipboard.
  void theClipboardOfAnotherProgram() {
    if (QGuiApplication::platformName() != "xcb") QSKIP("an X11 clipboard");
    uitest::Window w;
    QVERIFY(w.Start());
    ClipboardOwner owner("from another program");
    w.MenuItem("mPopConvertClipboard")->trigger();
    QCOMPARE(w.Record(2).Status.Trimmed(), std::string("OK"));
    QVERIFY(zuntest::Exists(w.files / "clipboard.pdb"));

    owner.SetSilent(true);
    int ticks = 0;
    QTimer ticking;
    connect(&ticking, &QTimer::timeout, [&ticks] { ++ticks; });
    ticking.start(100);
    w.MenuItem("mPopConvertClipboard")->trigger();
    QCOMPARE(w.Record(2).Status.Trimmed(), std::string("clipboard did not answer"));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));  // events ran all the while
  }

  // Docks and launchers find the desktop entry by the window's class (X11) or app ID (Wayland).
  void theWindowCarriesItsDesktopEntrysName() {
    std::ifstream entry(ZUN2_SOURCE_DIR "/data/zun2.desktop");
    std::string line, wmClass;
    while (std::getline(entry, line)) {
      if (line.rfind("StartupWMClass=", 0) == 0) wmClass = line.substr(15);
    }
    QCOMPARE(QString::fromStdString(wmClass), QString(zun::ui::kWindowClass));
    QCOMPARE(QGuiApplication::desktopFileName(), QString(ZUN2_APP_ID));
    if (QGuiApplication::platformName() != "xcb") return;
    uitest::Window w;
    QVERIFY(w.Start());
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        x, xcb_get_property(x, 0, static_cast<xcb_window_t>(w.window->winId()), XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
        nullptr);
    QVERIFY(reply != nullptr);
    const QByteArray value(static_cast<const char*>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    xcb_disconnect(x);
    QCOMPARE(value.split('\0').value(1), QByteArray(zun::ui::kWindowClass));  // instance, class
  }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
