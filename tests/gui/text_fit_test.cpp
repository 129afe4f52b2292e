// Nothing cut: every text of every language, the pseudo-language's included, measured in the Qt
// window's real fonts (DejaVu Sans; Noto Sans CJK, which fontconfig falls back to, for Japanese
// and Chinese) against the control that shows it; the status line wrapped in its lines.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "shown_texts.h"
#include "text/translation.h"
#include "ui/qt/qt_window_view.h"

namespace dalvorn {
namespace {

// What the title bar takes beside the title at 96 dpi: the icon, three buttons and margins.
constexpr int TitleBarAllowance = 130;

class TextFitTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { ASSERT_TRUE(UseLanguage(GetParam())); }
  void TearDown() override { UseLanguage(""); }
};

TEST(TextFitFontsTest, TheFontsThePackagesBring) {
  QtWindowView view;
  EXPECT_EQ(QFontInfo(view.Window()->font()).family(), QStringLiteral("DejaVu Sans"));
  const QStringList families = QFontDatabase::families();
  EXPECT_TRUE(families.contains(QStringLiteral("Noto Sans CJK JP")) &&
              families.contains(QStringLiteral("Noto Sans CJK SC")))
      << "Noto CJK is missing: scripts/install-deps.sh installs fonts-noto-cjk";
}

TEST_P(TextFitTest, EveryTextFitsItsControl) {
  QtWindowView view;
  QWidget* window = view.Window();
  for (const ShownText& shown : EveryShownText()) {
    const QString text = QString::fromStdString(shown.text);
    SCOPED_TRACE(shown.text);
    switch (shown.where) {
      case ShownText::Where::Title: {
        QFont bold = window->font();
        bold.setBold(true);
        EXPECT_LE(QFontMetrics(bold).horizontalAdvance(text), window->width() - TitleBarAllowance);
        break;
      }
      case ShownText::Where::Control: {
        QWidget* widget = view.ControlWidget(shown.control);
        const QFontMetrics metrics(widget->font());
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
          button->setText(text);  // the style's margins and bevel around the text
          EXPECT_LE(button->sizeHint().width(), button->width());
        } else {
          EXPECT_LE(metrics.horizontalAdvance(text), widget->contentsRect().width());
          EXPECT_LE(metrics.height(), widget->contentsRect().height());
        }
        break;
      }
      case ShownText::Where::StatusLine: {
        // Wrapped at word boundaries: no word past the line's edge and no line below it.
        auto* line = qobject_cast<QLabel*>(view.ControlWidget(shown.control));
        ASSERT_NE(line, nullptr);
        const QRect room = line->contentsRect();
        const QRect needed = line->fontMetrics().boundingRect(QRect(0, 0, room.width(), 100000),
                                                              Qt::TextWordWrap, text);
        EXPECT_LE(needed.width(), room.width());
        EXPECT_LE(needed.height(), room.height());
        break;
      }
      case ShownText::Where::MessageBox: {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("title"), text, QMessageBox::Ok,
                        window);
        box.setTextFormat(Qt::PlainText);
        box.show();
        const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        // Wrapped at the label's width, no word runs past its edge and no line below it.
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 100000),
                                                               Qt::TextWordWrap, text);
        EXPECT_LE(needed.width(), label->width());
        EXPECT_LE(needed.height(), label->height());
        box.hide();
        break;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFitTest, ::testing::ValuesIn(LanguagesToMeasure()),
                         [](const auto& instance) { return LanguageTestName(instance.param); });

}  // namespace
}  // namespace dalvorn
