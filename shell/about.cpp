#include "shell/about.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSvgRenderer>

#include "panel/qt/pictures.h"

namespace dalmora {

namespace {

// The logo's own background, so that the band above the text reads as one picture.
const QColor kLogoBackground(0x12, 0x13, 0x16);

QFont textFont() {
    // DotumChe where Windows has it; the closest fixed-pitch face elsewhere.
    for (const char* family : {"DotumChe", "DejaVu Sans Mono", "Liberation Mono"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            return QFont(QString::fromLatin1(family), 9);
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    return font;
}

}  // namespace

QStringList About::aboutLines(const QString& version) {
    return {
        QStringLiteral("Dalmora Version %1").arg(version),
        QString(),
        QStringLiteral("Technique support :"),
        QStringLiteral("Dalmora Instruments Co., Ltd."),
        QStringLiteral("No. 12 Sample Road, Example Industrial Park, Springfield 00000"),
        QStringLiteral("TEL:+1-555-0100"),
        QStringLiteral("FAX:+1-555-0101"),
        QStringLiteral("http://www.dalmora.example.com"),
        QStringLiteral("E-mail:support@dalmora.example.com"),
        QStringLiteral("       sales@dalmora.example.com"),
        QStringLiteral("       service@dalmora.example.com"),
        QString(),
        QStringLiteral("Made by Dalmora Instruments Co., Ltd."),
    };
}

About::About(const QString& version, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      logo_(nullptr),
      text1_(new QPlainTextEdit(this)) {
    loadPictureResources();
    logo_ = new QSvgRenderer(logoPicture(), this);
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_DeleteOnClose);

    // A quarter of the screen's width and half its height, fixed, centred.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        setFixedSize(area.width() / 4, area.height() / 2);
        QRect frame = rect();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }

    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setFont(textFont());
    text1_->setPlainText(aboutLines(version).join(QLatin1Char('\n')));
}

About::~About() = default;

void About::resizeEvent(QResizeEvent*) {
    // Text1 at left 5 %, top 35 %, 90 % wide and 60 % high of the window's inside.
    text1_->setGeometry(width() * 5 / 100, height() * 35 / 100, width() * 90 / 100, height() * 60 / 100);
}

void About::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF band(0, 0, width(), height() * 0.3);
    painter.fillRect(band, kLogoBackground);
    // The logo keeps its proportions, centred in the band.
    const QSizeF logo = QSizeF(logo_->defaultSize()).scaled(band.size() * 0.92, Qt::KeepAspectRatio);
    QRectF target(QPointF(), logo);
    target.moveCenter(band.center());
    logo_->render(&painter, target);
}

About* showAbout(QPointer<About>& instance, const QString& version, QWidget* parent) {
    if (instance.isNull()) {
        instance = new About(version, parent);
    }
    instance->show();
    instance->raise();
    instance->activateWindow();
    return instance.data();
}

}  // namespace dalmora
