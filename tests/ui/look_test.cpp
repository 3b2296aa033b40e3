// How the window looks: a layout that follows the font and fits a small screen, pictures that
// stand out from light and dark palettes and the selection.
#include <QLabel>
#include <QStyle>

#include "ui/task_list_model.h"
#include "ui_support.h"

namespace {

using zun::TaskAction;
using zun::ui::kPcFileColumn;
using zun::ui::kSyncColumn;

}  // namespace

class LookTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  // At 8, 14 and 16 points no control overlaps another and no caption is cut, in every state the
  // window shows; cmd_new keeps the font in use, also while it pulses. The smallest window fits an
  // 800 x 600 screen with its frame; a larger one gives its room to the list and the editor.
  void theLayoutFollowsTheFont() {
    const QFont original = QApplication::font();
    for (const qreal points : {8.0, 14.0, 16.0}) {
      QFont font = original;
      font.setPointSizeF(points);
      QApplication::setFont(font);
      uitest::Window w;
      w.Seed({{TaskAction::BothWays, "/t/a.txt", "a.pdb"}});
      QVERIFY(w.Start());
      const QSize smallest = w.window->minimumSize();
      QVERIFY2(smallest.width() <= 790 && smallest.height() <= 560, qPrintable(QString::number(points)));
      w.window->resize(smallest);
      QCOMPARE(uitest::Crowded(w.window.get()), QString());
      QCOMPARE(w.Find("cmd_new")->font().pointSizeF(), points);
      for (const char* caption : {zun::kCompressionCaption, zun::kFilterCaption}) {
        w.window->ShowProgress(true);
        w.window->SetProgressCaption(caption);
        QTest::qWait(40);
        w.window->LetEventsRun();
        QCOMPARE(w.Find<QLabel>("lbl_progress")->text(), QString(caption));
        QCOMPARE(uitest::Crowded(w.window.get()), QString());
      }
      w.window->ShowProgress(false);
      w.Click("cmd_clipsettings");
      QCOMPARE(uitest::Crowded(w.window.get()), QString());
      w.Click("cmd_clipsettings");
      const QSize list = w.Tasks()->size();
      const QSize options = w.Find("lst_options")->size();
      w.window->resize(smallest + QSize(500, 100));
      QCoreApplication::processEvents();
      QVERIFY(w.Tasks()->width() > list.width() && w.Tasks()->height() > list.height());
      QVERIFY(w.Find("lst_options")->width() > options.width() && w.Find("lst_options")->height() > options.height());
      if (points < 16) continue;
      w.Click("cmd_delete");  // an empty list: cmd_new pulses in its place
      QTRY_VERIFY_WITH_TIMEOUT(w.Find("cmd_new")->font().bold(), 1500);
      QCOMPARE(uitest::Crowded(w.window.get()), QString());
    }
    QApplication::setFont(original);
  }

  // The direction pictures stand out from the list's rows, the highlighted one too, and the
  // editor's; so do help and information: 3:1 at least, in Fusion's light palette and a dark one.
  void thePicturesStandOutInLightAndDarkPalettes() {
    const QPalette original = QApplication::palette();
    QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53));
    dark.setColor(QPalette::Base, QColor(42, 42, 42));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    for (const QPalette& palette : {QApplication::style()->standardPalette(), dark}) {
      QApplication::setPalette(palette);
      uitest::Window w;
      w.Seed({{TaskAction::NoConversion, "/t/1.txt", ""},
              {TaskAction::PalmToPc, "/t/2.txt", ""},
              {TaskAction::PcToPalm, "/t/3.txt", ""},
              {TaskAction::BothWays, "/t/4.txt", ""}});
      QVERIFY(w.Start());
      for (const int selected : {1, 2, 3, 4}) {
        w.ClickRow(selected, kPcFileColumn);
        const QImage rows = w.Tasks()->viewport()->grab().toImage();
        for (int row = 1; row <= 4; ++row) {
          const QRect cell = w.Tasks()->visualRect(w.Tasks()->model()->index(row - 1, kSyncColumn));
          const double contrast = uitest::PictureContrast(rows, cell.adjusted(2, 2, -2, -2));
          QVERIFY2(contrast >= 3, qPrintable(QString("row %1 of %2: %3").arg(row).arg(selected).arg(contrast)));
        }
        QVERIFY(uitest::PictureContrast(w.Find("img_action")->grab().toImage(), QRect(3, 3, 32, 32)) >= 3);
      }
      for (const char* name : {"img_help", "img_pelko"}) {
        QVERIFY2(uitest::PictureContrast(w.Find(name)->grab().toImage(), w.Find(name)->rect()) >= 3, name);
      }
    }
    QApplication::setPalette(original);
  }
};

QTEST_MAIN(LookTest)
#include "look_test.moc"
