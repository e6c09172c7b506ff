#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "shell/about.h"
#include "shell/fm_start.h"
#include "shell/twips.h"

using namespace dalmora;
using namespace std::chrono_literals;

class ShellWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splashIsDesignedSizeAtNormalDpi() {
        QCOMPARE(twipsToPixels(FM_Start::kWidthTwips), 323);
        QCOMPARE(twipsToPixels(FM_Start::kHeightTwips), 267);
        QCOMPARE(twipsToPixels(FM_Start::kWidthTwips, 144.0), 485);
        QCOMPARE(FM_Start::kSplashTime, 6000ms);
    }

    void splashPlaysTheAnimationThenShowsTheMainWindowAndGoes() {
        int mainShown = 0;
        QPointer<FM_Start> splash = new FM_Start(QStringLiteral(DALMORA_SOURCE_DIR), [&] { ++mainShown; }, 200ms);
        QVERIFY(splash->animationLoaded());
        auto* gif1 = splash->findChild<QLabel*>(QStringLiteral("Gif1"));
        QVERIFY(gif1 != nullptr);
        QCOMPARE(gif1->geometry(), splash->rect());
        QVERIFY(splash->findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        splash->show();

        QTest::qWait(50);
        QCOMPARE(mainShown, 0);
        QTRY_COMPARE(mainShown, 1);
        QTRY_VERIFY(splash.isNull());
        QTest::qWait(300);
        QCOMPARE(mainShown, 1);  // once only
    }

    void missingAnimationLeavesTheSplashBlankAndTheStartGoesOn() {
        QTemporaryDir programFolder;
        int mainShown = 0;
        QPointer<FM_Start> splash = new FM_Start(programFolder.path(), [&] { ++mainShown; }, 100ms);
        QVERIFY(!splash->animationLoaded());
        splash->show();
        QTRY_COMPARE(mainShown, 1);
        QTRY_VERIFY(splash.isNull());
    }

    void aboutShowsTheVersionAndTheSupportLinesReadOnlyAndStaysOnTop() {
        QPointer<About> about;
        About* shown = showAbout(about, QStringLiteral("1.0.0"), nullptr);
        QVERIFY(shown != nullptr);
        QCOMPARE(shown->objectName(), QStringLiteral("About"));
        QCOMPARE(shown->windowTitle(), QStringLiteral("About"));
        QVERIFY(shown->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!shown->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!shown->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(shown->size(), QSize(screen.width() / 4, screen.height() / 2));
        QCOMPARE(shown->minimumSize(), shown->maximumSize());

        auto* text1 = shown->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        QVERIFY(text1 != nullptr);
        QVERIFY(text1->isReadOnly());
        QCOMPARE(text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QStringList lines = text1->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 13);
        QCOMPARE(lines.at(0), QStringLiteral("Dalmora Version 1.0.0"));
        QCOMPARE(lines.at(1), QString());
        QCOMPARE(lines.at(2), QStringLiteral("Technique support :"));
        QVERIFY(lines.at(5).startsWith(QStringLiteral("TEL:")));
        QVERIFY(lines.at(6).startsWith(QStringLiteral("FAX:")));
        QVERIFY(lines.at(8).startsWith(QStringLiteral("E-mail:")));
        QVERIFY(lines.at(9).startsWith(QStringLiteral("       ")) && lines.at(9).at(7) != QLatin1Char(' '));
        QVERIFY(lines.at(10).startsWith(QStringLiteral("       ")) && lines.at(10).at(7) != QLatin1Char(' '));
        QCOMPARE(lines.at(11), QString());
        QVERIFY(!lines.at(12).isEmpty());

        QVERIFY(QTest::qWaitForWindowExposed(shown));
        const QRect area = text1->geometry();
        QCOMPARE(area.left(), shown->width() * 5 / 100);
        QCOMPARE(area.top(), shown->height() * 35 / 100);
        QCOMPARE(area.width(), shown->width() * 90 / 100);
        QCOMPARE(area.height(), shown->height() * 60 / 100);
        delete about.data();
    }

    void openingAboutAgainShowsTheSameWindow() {
        QPointer<About> about;
        About* first = showAbout(about, QStringLiteral("1.0.0"), nullptr);
        first->hide();
        About* second = showAbout(about, QStringLiteral("1.0.0"), nullptr);
        QCOMPARE(second, first);
        QVERIFY(second->isVisible());

        second->close();  // closing ends it; the next opening builds it anew
        QTRY_VERIFY(about.isNull());
        About* third = showAbout(about, QStringLiteral("1.0.0"), nullptr);
        QVERIFY(third != nullptr && third->isVisible());
        delete about.data();
    }
};

QTEST_MAIN(ShellWindowsTest)
#include "shell_windows_test.moc"
