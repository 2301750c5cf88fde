#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include "common/error.h"
#include "gui/pages.h"
#include "gui/skin_pictures.h"
#include "platform/qt/qt_region.h"

namespace vantrel::gui {

// An image button or tab: three pictures, and its pointer events handed to the window.
class ImageItemLabel : public QLabel {
  public:
    ImageItemLabel(int index, MainWindow& window, QWidget* parent)
        : QLabel(parent), index_(index), window_(window) {
        const ImageItemSpec& placed = kImageItems[static_cast<size_t>(index)];
        const std::string base(placed.bitmapBase);
        pictures_ = {resourcePixmap(base), resourcePixmap(base + "_ON"),
                     resourcePixmap(base + "_OVER")};
        setGeometry(placed.placement.x, placed.placement.y, placed.placement.width,
                    placed.placement.height);
        setMouseTracking(true);
        show(ItemPicture::Normal);
    }

    void show(ItemPicture picture) { setPixmap(pictures_[static_cast<size_t>(picture)]); }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) window_.itemPressed(index_);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        window_.itemReleased(index_, rect().contains(event->position().toPoint()));
    }
    void mouseMoveEvent(QMouseEvent*) override { window_.itemMoved(index_); }

  private:
    const int index_;
    MainWindow& window_;
    std::array<QPixmap, 3> pictures_;
};

MainWindow::MainWindow(VantrelForm& form)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      form_(form),
      skinPixels_(qt::toRgbImage(resourceImage("MAIN_WINDOW"))) {
    setWindowTitle(QString::fromLatin1(VantrelForm::kTitle));
    setWindowIcon(QIcon(resourcePixmap("MAINICON")));
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    // A small, slightly narrow face. The option texts are fitted to their room whatever face they
    // end up with.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setStretch(QFont::SemiCondensed);
    setFont(font);
    setMouseTracking(true);
    qApp->installEventFilter(this);

    // Pointer moves over the skin, a page or a group box reach the window: they end hovers.
    auto* skinPicture = new QLabel(this);
    skinPicture->setPixmap(QPixmap::fromImage(resourceImage("MAIN_WINDOW")));
    skinPicture->setGeometry(rect());
    skinPicture->setMouseTracking(true);

    const Forward onInput = [this](const std::function<void()>& handler) { forward(handler); };
    options_ = new OptionsPage(form.controls, onInput, this);
    allowed_ = new DomainListPage(form, false, onInput, this);
    blacklist_ = new DomainListPage(form, true, onInput, this);
    log_ = new LogPage(form.killLog, onInput, this);
    about_ = new AboutPage(
        form.skin, [this] { forward([this] { form_.trayMenu.imgBannerClick(); }); }, this);
    pages_ = {options_, allowed_, blacklist_, log_, about_};

    for (int i = 0; i < kImageItemCount; ++i) {
        items_[static_cast<size_t>(i)] = new ImageItemLabel(i, *this, parentOf(i));
    }
    items_[kIBtnFolder]->setToolTip(QStringLiteral("Change sound"));
    items_[kIBtnTest]->setToolTip(QStringLiteral("Test sound"));

    // The model's pictures and pages as they stand, then every change as it comes.
    for (int i = 0; i < kImageItemCount; ++i) {
        items_[static_cast<size_t>(i)]->show(form.skin.imageItems.picture(i));
    }
    for (int page = 0; page < kPageCount; ++page) {
        pages_[static_cast<size_t>(page)]->setVisible(form.skin.imageItems.visiblePage() == page);
    }
    form.skin.setView(
        {[this](int item, ItemPicture picture) {
             items_[static_cast<size_t>(item)]->show(picture);
         },
         [this](int page, bool visible) { pages_[static_cast<size_t>(page)]->setVisible(visible); },
         [this] { about_->follow(); }});
    form.skin.setSkin(&skinPixels_,
                      [this](const WindowRegion& shape) { setMask(qt::toQRegion(shape)); });
    form.application.setView(
        {[this](bool shown) { showWindow(shown); }, [this] { closeMainWindow(); }});
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                form_.application.setActive(state == Qt::ApplicationActive);
            });

    auto* followTimer = new QTimer(this);
    connect(followTimer, &QTimer::timeout, this, [this] { follow(); });
    followTimer->start(kFollowIntervalMs);
    follow();
}

MainWindow::~MainWindow() {
    form_.skin.setView({});
    form_.skin.setSkin(nullptr, {});
    form_.application.setView({});
}

QWidget* MainWindow::parentOf(int item) const {
    const int page = kImageItems[static_cast<size_t>(item)].onPage;
    if (page < 0) return const_cast<MainWindow*>(this);
    if (item == kIBtnFolder || item == kIBtnTest) return options_->generalGroup();
    return pages_[static_cast<size_t>(page)];
}

QLabel* MainWindow::item(int index) const {
    return items_[static_cast<size_t>(index)];
}

void MainWindow::follow() {
    options_->follow();
    allowed_->follow();
    blacklist_->follow();
    log_->follow();
    about_->follow();
}

void MainWindow::forward(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Error& e) {
        form_.showError(e.what());
    }
    follow();
}

void MainWindow::showWindow(bool shown) {
    if (shown) {
        showNormal();
        raise();
        activateWindow();
        return;
    }
    hiding_ = true;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
    } else {
        showMinimized();
    }
    hiding_ = false;
}

void MainWindow::closeMainWindow() {
    closing_ = true;
    close();
    QCoreApplication::quit();
}

void MainWindow::itemPressed(int index) {
    form_.skin.imageItems.IBtnMouseDown(index);
}

void MainWindow::itemReleased(int index, bool inside) {
    form_.skin.imageItems.IBtnMouseUp(index);
    if (inside) forward([&] { itemClicked(index); });
}

void MainWindow::itemMoved(int index) {
    form_.skin.imageItems.IBtnMouseMove(index);
}

void MainWindow::itemClicked(int index) {
    switch (index) {
        case kIBtnMin:
            form_.application.IBtnMinClick();
            break;
        case kIBtnClose:
            form_.application.IBtnCloseClick();
            break;
        case kIBtnOk:
            form_.options.IBtnOkClick(true);
            break;
        case kIBtnCancel:
            form_.options.IBtnCancelClick();
            break;
        case kIBtnHelp:
            form_.trayMenu.IBtnHelpClick();
            break;
        case kIBtnAdd:
            form_.lists.IBtnAddClick();
            break;
        case kIBtnBAdd:
            form_.lists.IBtnBAddClick();
            break;
        case kIBtnClear:
            form_.killLog.IBtnClearClick();
            break;
        case kIBtnFolder:
            form_.killSound.IBtnFolderClick();
            break;
        case kIBtnTest:
            form_.killSound.IBtnTestClick();
            break;
        default:
            form_.skin.ITabClick(index);
            break;
    }
}

void MainWindow::paintEvent(QPaintEvent*) {
    form_.skin.FormPaint();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    // The sizing when the window is first shown belongs to its creation, before start-up cleared
    // the shape flag: the first paint, not this, makes the shape and starts the tray re-add timer.
    if (event->oldSize().isValid()) form_.skin.FormResize();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->globalPosition().toPoint();
    if (event->button() == Qt::LeftButton && inDragZone(x(), y(), at.x(), at.y()) &&
        windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent*) {
    form_.skin.imageItems.main_windowMouseMove();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // Only the close button (with its question) or a failed start ends the program.
    event->ignore();
    forward([this] { form_.application.IBtnCloseClick(); });
}

void MainWindow::endSession() {
    if (closing_) return;
    if (sessionEnd_) sessionEnd_();
    forward([this] { form_.application.close(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The application's quit, sent by the session manager or the system, would reach the close
    // handling below and meet the close question.
    if (watched == qApp && event->type() == QEvent::Quit) endSession();
    return QWidget::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The window manager's own minimise goes to the tray like the minimise button.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !hiding_ &&
        form_.application.shown()) {
        forward([this] { form_.application.minimize(); });
    }
}

}  // namespace vantrel::gui
