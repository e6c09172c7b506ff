#include "shell/fm_start.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QScreen>
#include <QTimer>

#include "shell/twips.h"

namespace dalmora {

FM_Start::FM_Start(const QString& programFolder, std::function<void()> showMain,
                   std::chrono::milliseconds shownFor, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      showMain_(std::move(showMain)),
      gif1_(new QLabel(this)),
      movie_(new QMovie(this)),
      timer1_(new QTimer(this)) {
    setObjectName(QStringLiteral("FM_Start"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());

    const double dpi = logicalDpiX();
    setFixedSize(twipsToPixels(kWidthTwips, dpi), twipsToPixels(kHeightTwips, dpi));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = rect();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }

    gif1_->setObjectName(QStringLiteral("Gif1"));
    gif1_->setGeometry(rect());
    gif1_->setAlignment(Qt::AlignCenter);
    gif1_->setScaledContents(true);

    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setSingleShot(true);
    timer1_->setInterval(shownFor);
    connect(timer1_, &QTimer::timeout, this, &FM_Start::Timer1_Timer);

    // Load: the clock first, so that a missing or broken file cannot hold up the start.
    timer1_->start();
    movie_->setFileName(animationPath(programFolder));
    if (movie_->isValid()) {
        gif1_->setMovie(movie_);
        movie_->start();
    }
}

QString FM_Start::animationPath(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("Picture/StartGif.gif"));
}

bool FM_Start::animationLoaded() const { return movie_->isValid(); }

void FM_Start::Timer1_Timer() {
    timer1_->stop();
    movie_->stop();
    if (showMain_) {
        showMain_();
    }
    close();
}

}  // namespace dalmora
