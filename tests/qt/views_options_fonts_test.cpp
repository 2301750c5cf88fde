#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>

#include "gui/pages.h"
#include "views_fixture.h"

using namespace vantrel;

namespace {

// The desktop's own face and size reach the option texts: with each, every text must stay whole
// and clear of the sound buttons.
class OptionTextsWithFont : public ::testing::TestWithParam<std::tuple<const char*, int>> {
  protected:
    void SetUp() override {
        saved_ = QApplication::font();
        QApplication::setFont(
            QFont(QString::fromLatin1(std::get<0>(GetParam())), std::get<1>(GetParam())));
    }
    void TearDown() override { QApplication::setFont(saved_); }

  private:
    QFont saved_;
};

TEST_P(OptionTextsWithFont, FitBesideTheSoundButtons) {
    const char* family = std::get<0>(GetParam());
    ASSERT_TRUE(QFontDatabase::hasFamily(QString::fromLatin1(family))) << family << " is missing";
    sim::SimWorld world;
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    gui::MainWindow window(form);
    window.show();
    QApplication::processEvents();
    form.skin.ITabClick(kITabOptions);
    window.follow();
    QWidget* general = window.optionsPage().generalGroup();
    const QRect change(window.item(kIBtnFolder)->mapTo(&window, QPoint()),
                       window.item(kIBtnFolder)->size());
    const QRect test(window.item(kIBtnTest)->mapTo(&window, QPoint()),
                     window.item(kIBtnTest)->size());
    int texts = 0;
    for (const QLabel* label : general->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty()) continue;
        ++texts;
        EXPECT_TRUE(QFontInfo(label->font()).family().startsWith(QString::fromLatin1(family)))
            << QFontInfo(label->font()).family().toStdString();
        const QRect at(label->mapTo(&window, QPoint()), label->size());
        const std::string text = label->text().toStdString();
        EXPECT_FALSE(at.intersects(change)) << text;
        EXPECT_FALSE(at.intersects(test)) << text;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << text;
        EXPECT_LE(label->geometry().right(), general->width()) << text;
    }
    EXPECT_EQ(texts, 5);
    // The texts are the program's own, whole.
    const auto boxes = general->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(), [](const QLabel* label) {
        return label->text() == "Sound notification of popup killing";
    }));
    EXPECT_TRUE(std::any_of(boxes.begin(), boxes.end(),
                            [](const QLabel* label) { return label->text() == "Start on login"; }));
}

INSTANTIATE_TEST_SUITE_P(StockFonts, OptionTextsWithFont,
                         ::testing::Combine(::testing::Values("DejaVu Sans", "Nimbus Sans"),
                                            ::testing::Values(9, 11)));

}  // namespace
