#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "console/qt/qt_notifier.h"

using namespace dalmora;

namespace {

QList<QMessageBox*> openBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) boxes << box;
    }
    return boxes;
}

}  // namespace

// A report raised inside a poll tick: the box must come up without a nested event loop (the next
// tick runs while it is shown), and the same report every tick must not pile boxes up.
class NotifierTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boxesNeverBlockAndIdenticalOnesAreShownOnce() {
        QWidget owner;
        QtNotifier notifier(&owner);

        for (int tick = 0; tick < 50; ++tick) {
            notifier.showMessage("Attention! Wrong", "At FM_Main_Load()\r\nWrong code: 57", MessageIcon::Exclamation);
        }
        notifier.showMessage("注意!發生錯誤", "錯誤行號: 4098", MessageIcon::Exclamation);

        QCOMPARE(notifier.openBoxCount(), 2);
        const QList<QMessageBox*> boxes = openBoxes();
        QCOMPARE(boxes.size(), 2);
        for (QMessageBox* box : boxes) QCOMPARE(box->icon(), QMessageBox::Warning);

        // Once the operator closes it, the same report may come up again.
        QMessageBox* repeated = nullptr;
        for (QMessageBox* box : boxes) {
            if (box->windowTitle() == "Attention! Wrong") repeated = box;
        }
        QVERIFY(repeated != nullptr);
        repeated->close();
        QTRY_COMPARE(notifier.openBoxCount(), 1);
        notifier.showMessage("Attention! Wrong", "At FM_Main_Load()\r\nWrong code: 57", MessageIcon::Exclamation);
        QCOMPARE(notifier.openBoxCount(), 2);

        for (QMessageBox* box : openBoxes()) box->close();
        QTRY_COMPARE(notifier.openBoxCount(), 0);
    }
};

QTEST_MAIN(NotifierTest)
#include "notifier_test.moc"
