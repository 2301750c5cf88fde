#include "gui/first_run_dialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vantrel::gui {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A title and a close box, nothing to minimise or maximise: the windows have a fixed size.
constexpr Qt::WindowFlags kCloseBoxOnly = Qt::Dialog | Qt::CustomizeWindowHint |
                                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                          Qt::WindowCloseButtonHint;

}  // namespace

TRegistration1a::TRegistration1a(ExtrasOffer& offer) {
    setWindowTitle(text(ExtrasOffer::kCaption));
    setWindowFlags(kCloseBoxOnly);
    setFixedSize(ExtrasOffer::kWidth, ExtrasOffer::kHeight);
    auto* Label1 = new QLabel(text(ExtrasOffer::kText), this);
    Label1->setAlignment(Qt::AlignCenter);
    ButtonYes = new QPushButton(text(ExtrasOffer::kYes), this);
    ButtonNo = new QPushButton(text(ExtrasOffer::kNo), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonYes);
    buttons->addWidget(ButtonNo);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 1);
    layout->addLayout(buttons);
    setTabOrder(ButtonYes, ButtonNo);
    ButtonYes->setFocus();
    connect(ButtonYes, &QPushButton::clicked, this, [this, &offer] {
        offer.ButtonYesClick();
        accept();
    });
    // QDialog already treats Esc as a reject, the same as "No".
    connect(ButtonNo, &QPushButton::clicked, this, &QDialog::reject);
}

TDomainSelectionForm::TDomainSelectionForm(DomainSelection& model) : model_(model) {
    setWindowTitle(text(DomainSelection::kCaption));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text(DomainSelection::kLabel1), this));
    layout->addWidget(new QLabel(text(DomainSelection::kLabel2), this));

    auto* group = new QGroupBox(text(DomainSelection::kGroupCaption), this);
    auto* grid = new QGridLayout(group);
    const auto& rows = model.rows();
    const int perColumn = int((rows.size() + 1) / 2);
    for (size_t i = 0; i < rows.size(); ++i) {
        auto* button = new QRadioButton(text(rows[i].text.c_str()), group);
        grid->addWidget(button, int(i) % perColumn, int(i) / perColumn);
        RGDomains_.addButton(button, int(i));
        rows_.push_back(button);
    }
    layout->addWidget(group);
    connect(&RGDomains_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.selectRow(size_t(id));
        refresh();
    });

    BTNOk = new QPushButton(text(DomainSelection::kRegister), this);
    BTNOk->setDefault(true);
    BTNCancel = new QPushButton(text(DomainSelection::kCancel), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BTNOk);
    buttons->addWidget(BTNCancel);
    layout->addLayout(buttons);
    connect(BTNOk, &QPushButton::clicked, this, [this] {
        if (model_.BTNOkClick()) accept();
    });
    connect(BTNCancel, &QPushButton::clicked, this, &QDialog::reject);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(text(DomainSelection::kStatus), StatusBar1));
    PBQuery = new QProgressBar(StatusBar1);
    PBQuery->setRange(0, 100);
    StatusBar1->addWidget(PBQuery, 1);
    layout->addWidget(StatusBar1);

    model_.changed = [this] { refresh(); };
    refresh();
}

TDomainSelectionForm::~TDomainSelectionForm() {
    model_.changed = {};
    model_.TimerQuery.setEnabled(false);
}

void TDomainSelectionForm::refresh() {
    const auto& rows = model_.rows();
    for (size_t i = 0; i < rows.size(); ++i) rows_[i]->setEnabled(rows[i].enabled);
    if (const auto selected = model_.selectedRow()) rows_[*selected]->setChecked(true);
    BTNOk->setEnabled(model_.selectedRow().has_value());
    PBQuery->setValue(model_.progress());
}

TRegistration2::TRegistration2(IntroWindow& intro) : intro_(intro) {
    setWindowTitle(text(IntroWindow::kCaption));
    setWindowFlags(kCloseBoxOnly);
    setFixedSize(IntroWindow::kWidth, IntroWindow::kHeight);
    SWFintro_ = new QLabel(this);
    SWFintro_->setGeometry(IntroWindow::kMovieLeft, IntroWindow::kMovieTop,
                           IntroWindow::kMovieWidth, IntroWindow::kMovieHeight);
    SWFintro_->setFocusPolicy(Qt::NoFocus);
    intro_.closeWindow = [this] { accept(); };
}

TRegistration2::~TRegistration2() {
    intro_.closeWindow = {};
    intro_.FormClose();
}

bool TRegistration2::setMovie(const std::string& path) {
    movie_ = std::make_unique<QMovie>(QString::fromStdString(path));
    if (!movie_->isValid() || movie_->frameCount() < 1) {
        movie_.reset();
        return false;
    }
    SWFintro_->setMovie(movie_.get());
    return true;
}

void TRegistration2::Play() {
    if (movie_) movie_->start();
}

void TRegistration2::StopPlay() {
    if (movie_) movie_->setPaused(true);
}

int TRegistration2::CurrentFrame() {
    return movie_ ? movie_->currentFrameNumber() : 0;
}

int TRegistration2::TotalFrames() {
    return movie_ ? movie_->frameCount() : 0;
}

void TRegistration2::done(int result) {
    intro_.FormClose();
    QDialog::done(result);
}

void QtFirstRunScreens::showExtrasOffer(ExtrasOffer& offer) {
    TRegistration1a dialog(offer);
    dialog.exec();
}

bool QtFirstRunScreens::showDomainSelection(DomainSelection& model) {
    TDomainSelectionForm dialog(model);
    return dialog.exec() == QDialog::Accepted;
}

void QtFirstRunScreens::showIntro(IntroWindow& intro) {
    TRegistration2 dialog(intro);
    if (intro.FormReCreate(dialog)) dialog.exec();
}

}  // namespace vantrel::gui
