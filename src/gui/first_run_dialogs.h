#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <memory>
#include <vector>

#include "firstrun/first_run_sequence.h"

class QRadioButton;

namespace vantrel::gui {

// The extras offer: "Yes" opens the partner's page and closes with OK; "No", Esc and the close
// box close with Cancel.
class TRegistration1a : public QDialog {
  public:
    explicit TRegistration1a(ExtrasOffer& offer);

    QPushButton* ButtonYes;
    QPushButton* ButtonNo;
};

// The domain finder dialog over its model: the two-column radio group of candidate domains,
// the progress bar in the status bar, Register and the decline button.
class TDomainSelectionForm : public QDialog {
  public:
    explicit TDomainSelectionForm(DomainSelection& model);
    ~TDomainSelectionForm() override;

    QRadioButton* row(size_t index) const { return rows_.at(index); }
    QPushButton* BTNOk;
    QPushButton* BTNCancel;
    QProgressBar* PBQuery;
    QStatusBar* StatusBar1;

  private:
    void refresh();

    DomainSelection& model_;
    QButtonGroup RGDomains_;
    std::vector<QRadioButton*> rows_;
};

// The intro window: plays the movie with QMovie and closes itself at its last frame; whichever
// way it closes, its model removes the movie file.
class TRegistration2 : public QDialog, public MoviePlayer {
  public:
    explicit TRegistration2(IntroWindow& intro);
    ~TRegistration2() override;

    bool setMovie(const std::string& path) override;
    void Play() override;
    void StopPlay() override;
    int CurrentFrame() override;
    int TotalFrames() override;

  protected:
    void done(int result) override;

  private:
    IntroWindow& intro_;
    QLabel* SWFintro_;
    std::unique_ptr<QMovie> movie_;
};

// The first start's screens as modal Qt dialogs.
class QtFirstRunScreens : public FirstRunScreens {
  public:
    void showExtrasOffer(ExtrasOffer& offer) override;
    bool showDomainSelection(DomainSelection& dialog) override;
    void showIntro(IntroWindow& intro) override;
};

}  // namespace vantrel::gui
