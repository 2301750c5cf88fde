#include "platform/qt/qt_desktop.h"

#include <xcb/xcb.h>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <map>

#include "platform/qt/canberra_sound.h"
#include "platform/tray_messages.h"
#include "platform/x11/x11_keyboard.h"
#include "resources/embedded_resources.h"

namespace vantrel::qt {

namespace {

xcb_connection_t* qtX11Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

QIcon iconFromResource(const char* name) {
    QPixmap pixmap;
    if (auto bytes = embeddedResource(name)) {
        pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                            static_cast<uint>(bytes->size()), "PNG");
    }
    return QIcon(pixmap);
}

// Message texts use "\r" as their line break.
QString messageText(const std::string& text) {
    QString result = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

// Boxes open in the middle of the main window, or of the screen while the window is hidden
// (window managers otherwise leave them at the top-left corner). A box settles its size only as
// it is shown, so it is placed again on every resize until then.
class Centring : public QObject {
  public:
    Centring(QWidget& box, const QWidget* mainWindow) : QObject(&box), box_(box) {
        if (mainWindow != nullptr && mainWindow->isVisible() && !mainWindow->isMinimized()) {
            area_ = mainWindow->frameGeometry();
        } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            area_ = screen->availableGeometry();
        }
        box.installEventFilter(this);
        place();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) place();
        return false;
    }

  private:
    void place() {
        if (area_.isValid()) box_.move(area_.center() - box_.rect().center());
    }

    QWidget& box_;
    QRect area_;
};

class HotKeyFilter : public QAbstractNativeEventFilter {
  public:
    HotKeyFilter(x11::X11Keyboard& keyboard, std::function<void(int)>& handler)
        : keyboard_(keyboard), handler_(handler) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
        const std::optional<int> id = keyboard_.hotKeyOf(event);
        if (!id) return false;
        // Handled after the native event, so a handler may open dialogs safely.
        QMetaObject::invokeMethod(
            qApp,
            [this, hotKey = *id] {
                if (handler_) handler_(hotKey);
            },
            Qt::QueuedConnection);
        return true;
    }

  private:
    x11::X11Keyboard& keyboard_;
    std::function<void(int)>& handler_;
};

}  // namespace

struct QtDesktop::Impl {
    Impl()
        : keyboard(qtX11Connection()),
          filter(keyboard, hotKeyHandler),
          sound(embeddedResource("WAV_DEFAULT").value_or(std::string_view()),
                soundDir.filePath(QStringLiteral("kill.wav")).toStdString()) {
        icons[TrayIcon::StopIcon] = iconFromResource("STOPICON");
        icons[TrayIcon::Tray] = iconFromResource("TRAY");
        icons[TrayIcon::Tray1] = iconFromResource("TRAY1");
        if (keyboard.connected()) qApp->installNativeEventFilter(&filter);
    }
    ~Impl() { qApp->removeNativeEventFilter(&filter); }

    std::function<WindowHandle()> foreground;
    std::function<void(int)> hotKeyHandler;
    std::function<void(int)> trayHandler;
    std::function<int(QMessageBox&)> runner = [](QMessageBox& box) { return box.exec(); };
    QWidget* mainWindow = nullptr;
    bool toStandardError = false;
    bool reportedAnError = false;
    bool displayGone = false;
    x11::X11Keyboard keyboard;
    HotKeyFilter filter;
    QTemporaryDir soundDir;  // private to this user, removed at exit
    CanberraSound sound;
    QSystemTrayIcon tray;
    std::map<TrayIcon, QIcon> icons;
    std::map<std::string, int> atoms;
};

QtDesktop::QtDesktop() : impl_(std::make_unique<Impl>()) {
    QObject::connect(&impl_->tray, &QSystemTrayIcon::activated, &impl_->tray,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         int message = 0;
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                                 message = kTrayLeftButtonDown;
                                 break;
                             case QSystemTrayIcon::DoubleClick:
                                 message = kTrayLeftDoubleClick;
                                 break;
                             case QSystemTrayIcon::Context:
                                 message = kTrayRightButtonUp;
                                 break;
                             default:
                                 return;
                         }
                         if (impl_->trayHandler) impl_->trayHandler(message);
                     });
}

QtDesktop::~QtDesktop() = default;

void QtDesktop::setForegroundWindowSource(std::function<WindowHandle()> source) {
    impl_->foreground = std::move(source);
}
void QtDesktop::setHotKeyHandler(std::function<void(int)> handler) {
    impl_->hotKeyHandler = std::move(handler);
}
void QtDesktop::setTrayHandler(std::function<void(int)> handler) {
    impl_->trayHandler = std::move(handler);
}
void QtDesktop::setMainWindow(QWidget* window) {
    impl_->mainWindow = window;
}
void QtDesktop::setMessageBoxRunner(std::function<int(QMessageBox&)> runner) {
    impl_->runner = std::move(runner);
}
void QtDesktop::reportOnStandardError() {
    impl_->toStandardError = true;
}
bool QtDesktop::reportedAnError() const {
    return impl_->reportedAnError;
}
void QtDesktop::forgetDisplay() {
    impl_->displayGone = true;
}

WindowHandle QtDesktop::foregroundWindow() {
    return impl_->foreground ? impl_->foreground() : 0;
}

bool QtDesktop::controlKeyDown() {
    return impl_->keyboard.controlKeyDown();
}

int QtDesktop::addAtom(const std::string& name) {
    auto [it, added] = impl_->atoms.emplace(name, static_cast<int>(impl_->atoms.size()) + 1);
    return it->second;
}

bool QtDesktop::registerHotKey(int id, int modifiers, int keyCode) {
    return impl_->keyboard.grab(id, modifiers, keyCode);
}

void QtDesktop::unregisterHotKey(int id) {
    if (impl_->displayGone) return;
    impl_->keyboard.ungrab(id);
}

bool QtDesktop::trayAdd(TrayIcon icon, const std::string& tip) {
    if (impl_->displayGone) return false;
    // Adding an entry that exists changes nothing, as with the shell's tray.
    if (impl_->tray.isVisible()) return false;
    impl_->tray.setIcon(impl_->icons[icon]);
    impl_->tray.setToolTip(QString::fromStdString(tip));
    // Shown even without a tray host: the icon docks when one starts later.
    impl_->tray.show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtDesktop::traySetTip(const std::string& tip) {
    if (impl_->displayGone || !impl_->tray.isVisible()) return false;
    impl_->tray.setToolTip(QString::fromStdString(tip));
    return true;
}

bool QtDesktop::trayModify(TrayIcon icon) {
    if (impl_->displayGone || !impl_->tray.isVisible()) return false;
    impl_->tray.setIcon(impl_->icons[icon]);
    return true;
}

void QtDesktop::trayDelete() {
    if (impl_->displayGone) return;
    impl_->tray.hide();
}

void QtDesktop::playSoundFile(const std::string& path) {
    impl_->sound.playFile(path);
}

void QtDesktop::playBuiltInSound() {
    impl_->sound.playBuiltIn();
}

std::optional<std::string> QtDesktop::chooseWaveFile(const std::string& startFolder) {
    const QString chosen = QFileDialog::getOpenFileName(impl_->mainWindow, QString(),
                                                        QString::fromStdString(startFolder),
                                                        QStringLiteral("Wav file (*.wav)"));
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen).toStdString();
}

void QtDesktop::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

MessageBoxAnswer QtDesktop::messageBox(const std::string& text, const std::string& caption,
                                       MessageBoxKind kind) {
    if (impl_->toStandardError) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(),
                     messageText(text).toLocal8Bit().constData());
        if (kind == MessageBoxKind::Error) impl_->reportedAnError = true;
        if (kind == MessageBoxKind::Question) return MessageBoxAnswer::No;
        return kind == MessageBoxKind::Confirm ? MessageBoxAnswer::Cancel : MessageBoxAnswer::Ok;
    }
    QMessageBox box(impl_->mainWindow);
    box.setText(messageText(text));
    box.setWindowTitle(messageText(caption));
    switch (kind) {
        case MessageBoxKind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageBoxKind::Information:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageBoxKind::Question:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MessageBoxKind::Confirm:
        case MessageBoxKind::ConfirmDefaultOk:
            box.setIcon(QMessageBox::Warning);
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(kind == MessageBoxKind::Confirm ? QMessageBox::Cancel
                                                                 : QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    new Centring(box, impl_->mainWindow);
    switch (impl_->runner(box)) {
        case QMessageBox::Yes:
            return MessageBoxAnswer::Yes;
        case QMessageBox::No:
            return MessageBoxAnswer::No;
        case QMessageBox::Cancel:
            return MessageBoxAnswer::Cancel;
        case QMessageBox::Ok:
            return MessageBoxAnswer::Ok;
        default:
            // Closing a box without an answer: No to a question, Cancel to a confirmation.
            if (kind == MessageBoxKind::Question) return MessageBoxAnswer::No;
            return kind == MessageBoxKind::Confirm || kind == MessageBoxKind::ConfirmDefaultOk
                       ? MessageBoxAnswer::Cancel
                       : MessageBoxAnswer::Ok;
    }
}

QSystemTrayIcon& QtDesktop::trayIcon() {
    return impl_->tray;
}

const QIcon& QtDesktop::icon(TrayIcon which) const {
    return impl_->icons.at(which);
}

bool QtDesktop::hasX11() const {
    return impl_->keyboard.connected();
}

}  // namespace vantrel::qt
