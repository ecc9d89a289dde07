// The text progress bar: its arithmetic as a table, what it paints, and
// when it repaints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "shell/ui/progress/progress_geometry.h"
#include "shell/ui/progress/text_progress_ctrl.h"

namespace {

struct GeometryCase {
  int position;
  int minimum;
  int maximum;
  int width;
  int filled;
  const char* caption;  // with no text kept
};

class ProgressGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(ProgressGeometry, FilledWidthAndCaption) {
  const auto& c = GetParam();
  EXPECT_EQ(ProgressFilledWidth(c.position, {c.minimum, c.maximum}, c.width), c.filled);
  EXPECT_EQ(ProgressCaption("", c.position, {c.minimum, c.maximum}), c.caption);
  EXPECT_EQ(ProgressCaption("Flashing 5%", c.position, {c.minimum, c.maximum}), "Flashing 5%");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressGeometry,
    ::testing::Values(GeometryCase{0, 0, 100, 200, 0, "0%"}, GeometryCase{50, 0, 100, 200, 100, "50%"},
                      GeometryCase{33, 0, 100, 100, 33, "33%"}, GeometryCase{1, 0, 3, 100, 33, "33%"},
                      GeometryCase{100, 0, 100, 201, 201, "100%"}, GeometryCase{15, 10, 20, 100, 50, "50%"},
                      // An empty range draws an empty bar instead of dividing by zero.
                      GeometryCase{5, 7, 7, 100, 0, "0%"}, GeometryCase{5, 9, 3, 100, 0, "0%"},
                      // Past the maximum: full; below the minimum: empty.
                      GeometryCase{150, 0, 100, 200, 200, "100%"}, GeometryCase{-20, 0, 100, 200, 0, "0%"}));

// Counts its paints.
class CountingProgress : public CTextProgressCtrl {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* e) override {
    ++paints;
    CTextProgressCtrl::paintEvent(e);
  }
};

class TextProgressCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.resize(200, 24);
    bar.SetBarColour(QColor(0, 0, 139));
    bar.SetBgColour(Qt::white);
    bar.SetTextColour(QColor(0, 0, 139));
    bar.SetTextBkColour(Qt::white);
    bar.SetShowText(false);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  }
  QImage Image() { return bar.grab().toImage(); }
  // Lets every pending paint run: a zero timer fires after the queued events.
  void Flush() {
    QApplication::processEvents();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
  }

  CountingProgress bar;
};

TEST_F(TextProgressCtrlTest, PaintsTheFilledPartInTheBarColourAndTheRestInTheBackground) {
  bar.SetPos(50);
  const QImage image = Image();
  EXPECT_EQ(image.pixelColor(10, 12), QColor(0, 0, 139));
  EXPECT_EQ(image.pixelColor(98, 2), QColor(0, 0, 139));
  EXPECT_EQ(image.pixelColor(101, 2), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(190, 12), QColor(Qt::white));
}

TEST_F(TextProgressCtrlTest, AnEmptyRangePaintsAnEmptyBarAndPastTheMaximumAFullOne) {
  bar.SetRange(10, 10);
  bar.SetPos(10);
  EXPECT_EQ(Image().pixelColor(2, 12), QColor(Qt::white));
  bar.SetRange(0, 100);
  bar.SetPos(250);
  EXPECT_EQ(Image().pixelColor(198, 12), QColor(0, 0, 139));
}

TEST_F(TextProgressCtrlTest, TheTextTakesTheOtherColourOverTheFilledPart) {
  bar.SetShowText(true);
  bar.SetText(QString(40, QChar(0x2588)));  // full blocks across the middle
  bar.SetPos(50);
  const QImage image = Image();
  bool whiteOverBar = false;
  bool blueOverBackground = false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < 98; ++x) whiteOverBar = whiteOverBar || image.pixelColor(x, y) == QColor(Qt::white);
    for (int x = 102; x < 200; ++x)
      blueOverBackground = blueOverBackground || image.pixelColor(x, y) == QColor(0, 0, 139);
  }
  EXPECT_TRUE(whiteOverBar);
  EXPECT_TRUE(blueOverBackground);
}

TEST_F(TextProgressCtrlTest, RepaintsOnlyWhenSomethingVisibleChanges) {
  bar.SetText("Flashing 1%");
  bar.SetPos(10);
  Flush();
  const int before = bar.paints;
  bar.SetText("Flashing 1%");
  bar.SetPos(10);
  bar.SetPos(10);  // half a pixel: the same filled width
  Flush();
  EXPECT_EQ(bar.paints, before);
  bar.SetText("Flashing 2%");
  Flush();
  EXPECT_GT(bar.paints, before);
}

TEST_F(TextProgressCtrlTest, PositionsStepsAndCaption) {
  EXPECT_EQ(bar.SetPos(20), 0);
  EXPECT_EQ(bar.SetStep(5), 1);
  EXPECT_EQ(bar.StepIt(), 20);
  EXPECT_EQ(bar.OffsetPos(-10), 25);
  EXPECT_EQ(bar.GetPos(), 15);
  EXPECT_EQ(bar.Caption(), "15%");
  bar.SetText("Ready");
  EXPECT_EQ(bar.Caption(), "Ready");
}

}  // namespace
