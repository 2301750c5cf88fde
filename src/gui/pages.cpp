#include "gui/pages.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <algorithm>

#include "engine/key_codes.h"
#include "gui/list_view_table.h"
#include "gui/skin_pictures.h"
#include "shell/skin_layout.h"

namespace vantrel::gui {

namespace {

QString fromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QLabel* label(const QString& text, QPoint at, QWidget* parent, bool bold = false) {
    auto* result = new QLabel(text, parent);
    QFont font = result->font();
    font.setBold(bold);
    result->setFont(font);
    result->move(at);
    result->adjustSize();
    result->setAttribute(Qt::WA_TransparentForMouseEvents);
    return result;
}

// A framed group with its bold heading on the frame's top line.
QWidget* group(const QString& heading, QRect frame, QWidget* page) {
    auto* box = new QFrame(page);
    box->setObjectName(QStringLiteral("group"));
    box->setStyleSheet(QStringLiteral(
        "#group { border: 1px solid #aebccb; border-radius: 4px; background: transparent; }"));
    box->setGeometry(frame);
    box->setMouseTracking(true);
    QLabel* title = label(heading, frame.topLeft() + QPoint(8, -7), page, true);
    title->setStyleSheet(QStringLiteral("background: #f3f6f9; padding: 0 2px;"));
    title->adjustSize();
    title->raise();
    return box;
}

// The width a text at `text` has in its group: up to the sound buttons on the rows they stand
// on (they sit in the General group), else up to the group's frame.
int roomOf(const QRect& text, int groupWidth, bool besideSoundButtons) {
    int right = groupWidth - 4;
    if (besideSoundButtons) {
        for (int item : {kIBtnFolder, kIBtnTest}) {
            const Placement& button = kImageItems[static_cast<size_t>(item)].placement;
            const bool sameRows =
                text.top() < button.y + button.height && button.y <= text.bottom();
            if (sameRows) right = std::min(right, button.x - 4);
        }
    }
    return right - text.left();
}

// A wider face than the window asks for (the desktop's stand-in for it) would run the text into
// what stands beside it: the text is made smaller until it fits, and elided when even the
// smallest size is too wide (the whole text then shows as its tool tip).
void fitText(QLabel& text, int room) {
    constexpr int kSmallestPixels = 8;
    QFont font = text.font();
    int pixels = QFontInfo(font).pixelSize();
    while (text.fontMetrics().horizontalAdvance(text.text()) > room && pixels > kSmallestPixels) {
        font.setPixelSize(--pixels);
        text.setFont(font);
    }
    if (text.fontMetrics().horizontalAdvance(text.text()) > room) {
        text.setToolTip(text.text());
        text.setText(text.fontMetrics().elidedText(text.text(), Qt::ElideRight, room));
    }
    text.adjustSize();
}

struct CheckBoxSpec {
    int number;
    bool OptionControls::*state;
    const char* text;
    int group;  // 0 General, 1 Preferences
    int row;
};

// Rows top to bottom, at 10, 27, 44, 61 and 78 pixels in their group.
constexpr CheckBoxSpec kCheckBoxes[] = {
    {5, &OptionControls::CheckBox5, "Start on login", 0, 0},
    {6, &OptionControls::CheckBox6, "Minimize upon starting", 0, 1},
    {11, &OptionControls::CheckBox11, "Automatically check for updates", 0, 2},
    {7, &OptionControls::CheckBox7, "Icon shall blink when a popup is killed", 0, 3},
    {10, &OptionControls::CheckBox10, "Sound notification of popup killing", 0, 4},
    {1, &OptionControls::CheckBox1, "Kill pop-ups and pop-unders", 1, 0},
    {2, &OptionControls::CheckBox2, "Kill advertising sites (URLs)", 1, 1},
    {3, &OptionControls::CheckBox3, "Kill standard banners", 1, 2},
    {8, &OptionControls::CheckBox8, "Idle mode on pressing CTRL", 1, 3},
    {9, &OptionControls::CheckBox9, "Disable", 1, 4},
    {4, &OptionControls::CheckBox4, "Kill images larger than 300x300 pixels", 1, 3},
};
constexpr int kHiddenCheckBox = 4;

}  // namespace

Page::Page(QRect geometry, QWidget* parent) : QWidget(parent) {
    setGeometry(geometry);
    setMouseTracking(true);
    auto* background = new QLabel(this);
    background->setPixmap(resourcePixmap("PAGE_BG"));
    background->setScaledContents(true);
    background->setGeometry(rect());
    background->setMouseTracking(true);
    hide();
}

OptionsPage::OptionsPage(OptionControls& controls, Forward forward, QWidget* parent)
    : Page({kPageArea.x, kPageArea.y, kPageArea.width, kPageArea.height}, parent),
      controls_(controls) {
    general_ = group(QStringLiteral("General"), {5, 8, 320, 100}, this);
    QWidget* preferences = group(QStringLiteral(" Preferences  "), {5, 112, 320, 100}, this);
    for (const CheckBoxSpec& entry : kCheckBoxes) {
        QWidget* in = entry.group == 0 ? general_ : preferences;
        const int y = 10 + 17 * entry.row;
        auto* box = new QCheckBox(in);
        box->setGeometry(11, y, 13, 14);
        QLabel* text = label(QString::fromLatin1(entry.text), {30, y}, in);
        fitText(*text, roomOf(text->geometry(), in->width(), entry.group == 0));
        if (entry.number == kHiddenCheckBox) {
            box->hide();
            text->hide();
        }
        connect(box, &QCheckBox::clicked, this, [this, entry, forward](bool checked) {
            forward([&] { controls_.*entry.state = checked; });
        });
        boxes_.emplace_back(entry.number, box);
    }
    follow();
}

void OptionsPage::follow() {
    for (const CheckBoxSpec& entry : kCheckBoxes) {
        QCheckBox* box = checkBox(entry.number);
        if (box->isChecked() != controls_.*entry.state) box->setChecked(controls_.*entry.state);
    }
}

QCheckBox* OptionsPage::checkBox(int number) const {
    for (const auto& [n, box] : boxes_) {
        if (n == number) return box;
    }
    return nullptr;
}

class KeyBox : public QLineEdit {
  public:
    KeyBox(std::function<void()> keyDown, std::function<void(int virtualKey)> keyUp,
           QWidget* parent)
        : QLineEdit(parent), keyDown_(std::move(keyDown)), keyUp_(std::move(keyUp)) {
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
        setAlignment(Qt::AlignCenter);
    }

  protected:
    // The box shows what the model holds; typing never edits it directly.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat()) return;
        keyDown_();
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (event->isAutoRepeat()) return;
        keyUp_(virtualKeyFromKeysym(keysymOf(*event)));
    }

  private:
    // X11 reports the keysym as the native key; other platforms (offscreen) report none, and
    // there Qt's key code stands in, which equals the keysym for letters and digits.
    static std::uint32_t keysymOf(const QKeyEvent& event) {
        if (event.nativeVirtualKey() != 0) return event.nativeVirtualKey();
        const int key = event.key();
        return key > 0 && key < 0x100 ? static_cast<std::uint32_t>(key) : 0;
    }

    std::function<void()> keyDown_;
    std::function<void(int)> keyUp_;
};

DomainListPage::DomainListPage(VantrelForm& form, bool blacklist, Forward forward, QWidget* parent)
    : Page({kPageArea.x, kPageArea.y, kPageArea.width, kPageArea.height}, parent),
      form_(form),
      blacklist_(blacklist) {
    DomainLists& lists = form.lists;
    label(blacklist ? QStringLiteral("Kill popups on this domain:")
                    : QStringLiteral("Permit popups on this domain:"),
          {10, 0}, this);
    edit_ = new QLineEdit(this);
    edit_->setGeometry(10, 14, 222, 21);
    connect(edit_, &QLineEdit::textEdited, this,
            [this, forward](const QString& text) { forward([&] { editText() = toBytes(text); }); });
    connect(edit_, &QLineEdit::returnPressed, this, [this, forward] {
        forward([&] { form_.lists.EditDomainKeyPress(blacklist_, DomainLists::kEnterKey); });
    });

    ListView& view = blacklist ? lists.BlackLV : lists.CleanLV;
    ListViewTable::Handlers handlers;
    handlers.keyDown = [this, &view, forward](int keyCode) {
        forward([&] { form_.lists.LVKeyDown(view, keyCode); });
    };
    handlers.deleteClick = [this, forward] {
        forward([&] {
            if (blacklist_) {
                form_.lists.BlackListDeleteClick();
            } else {
                form_.lists.ExceptionListDeleteClick();
            }
        });
    };
    table_ = new ListViewTable(view, {QStringLiteral("Domain")}, std::move(handlers), this);
    table_->setGeometry(10, 42, 308, blacklist ? 96 : 126);

    const int shortcutTop = blacklist ? 142 : 174;
    label(blacklist ? QStringLiteral("Keyboard shortcut for adding domain to the Blacklist:")
                    : QStringLiteral("Keyboard shortcut for adding domain to the Allowed list:"),
          {10, shortcutTop}, this);
    label(QStringLiteral("CTRL + ALT +"), {10, shortcutTop + 20}, this);
    key_ = new KeyBox([this, forward] { forward([&] { form_.hotKeys.EditHKKeyDown(keyText()); }); },
                      [this, forward](int virtualKey) {
                          forward([&] { form_.hotKeys.EditHKKeyUp(keyText(), virtualKey); });
                      },
                      this);
    key_->setGeometry(86, shortcutTop + 16, 24, 21);

    if (blacklist) {
        group(QStringLiteral("Sensitivity level:"), {5, 184, 320, 30}, this);
        label(QStringLiteral("Minimum"), {40, 194}, this);
        label(QStringLiteral("Maximum"), {240, 194}, this);
        slider_ = new QSlider(Qt::Horizontal, this);
        slider_->setRange(1, 3);
        slider_->setPageStep(1);
        slider_->setTickPosition(QSlider::TicksBelow);
        slider_->setGeometry(100, 190, 130, 22);
        connect(slider_, &QSlider::valueChanged, this,
                [this, forward](int level) { forward([&] { form_.controls.TBSLevel = level; }); });
    }
    follow();
}

QLineEdit* DomainListPage::keyBox() const {
    return key_;
}

std::string& DomainListPage::editText() const {
    return blacklist_ ? form_.lists.EditBDomain : form_.lists.EditDomain;
}

std::string& DomainListPage::keyText() const {
    return blacklist_ ? form_.controls.EditBHK : form_.controls.EditHK;
}

void DomainListPage::follow() {
    const QString edit = fromBytes(editText());
    if (edit_->text() != edit) edit_->setText(edit);
    const QString key = fromBytes(keyText());
    if (key_->text() != key) key_->setText(key);
    if (slider_ != nullptr && slider_->value() != form_.controls.TBSLevel) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(form_.controls.TBSLevel);
    }
    table_->follow();
}

LogPage::LogPage(KillLog& log, Forward forward, QWidget* parent)
    : Page({kPageArea.x, kPageArea.y, kPageArea.width, kPageArea.height}, parent) {
    label(QStringLiteral("Double-click to add the domain to the Allowed list"), {10, 0}, this);
    ListViewTable::Handlers handlers;
    handlers.doubleClick = [&log, forward] { forward([&] { log.ListViewLogDblClick(); }); };
    table_ =
        new ListViewTable(log.ListViewLog, {QStringLiteral("Time"), QStringLiteral("Killed ads")},
                          std::move(handlers), this);
    table_->setGeometry(10, 16, 313, 158);
    table_->setShowGrid(true);
    table_->setColumnWidth(KillLog::TimeColumn, 90);
    table_->setColumnWidth(KillLog::KilledAdsColumn, 219);
    table_->setToolTip(QStringLiteral("Double click to add url to exception urls"));
}

void LogPage::follow() {
    table_->follow();
}

AboutPage::AboutPage(const SkinnedWindow& model, std::function<void()> bannerClick, QWidget* parent)
    : Page({kAboutPageArea.x, kAboutPageArea.y, kAboutPageArea.width, kAboutPageArea.height},
           parent),
      model_(model),
      bannerClick_(std::move(bannerClick)) {
    setCursor(Qt::PointingHandCursor);
    logoText_ = label(QStringLiteral("Pop-up and advertising blocker"), {30, 150}, this, true);
    logoText_->setStyleSheet(QStringLiteral("color: rgb(40, 70, 110);"));
    counter_ = new QLabel(this);
    QFont big(QStringLiteral("Arial"));
    big.setBold(true);
    big.setPixelSize(53);
    counter_->setFont(big);
    counter_->setStyleSheet(QStringLiteral("color: rgb(128, 0, 0);"));
    counter_->setGeometry(30, 40, 290, 64);
    counter_->setAttribute(Qt::WA_TransparentForMouseEvents);
    version_ = new QLabel(this);
    QFont line(QStringLiteral("Arial"));
    line.setBold(true);
    line.setPixelSize(12);
    version_->setFont(line);
    version_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version_->setGeometry(17, 200, 300, 16);
    version_->setAttribute(Qt::WA_TransparentForMouseEvents);
    follow();
}

void AboutPage::follow() {
    const QString count = fromBytes(model_.LAbout1);
    if (counter_->text() != count) counter_->setText(count);
    const QString version = fromBytes(model_.LAbout0);
    if (version_->text() != version) version_->setText(version);
    const Rgb c = model_.LAbout0Color;
    const QString color =
        QStringLiteral("color: rgb(%1, %2, %3);").arg(c.red).arg(c.green).arg(c.blue);
    if (version_->styleSheet() != color) version_->setStyleSheet(color);
    logoText_->setVisible(model_.ImgLogoTextVisible);
}

void AboutPage::mousePressEvent(QMouseEvent* event) {
    event->accept();  // the release comes here, not to the window
}

void AboutPage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        bannerClick_();
    }
}

}  // namespace vantrel::gui
