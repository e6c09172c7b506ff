#include "console/qt/qt_notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace dalmora {

QtNotifier::QtNotifier(QWidget* parent) : parent_(parent) {}

void QtNotifier::beep() {
    QApplication::beep();
}

void QtNotifier::showMessage(const std::string& title, const std::string& text, MessageIcon icon) {
    const QString qTitle = QString::fromStdString(title);
    const QString qText = QString::fromStdString(text);
    const QString key = qTitle + QChar(0) + qText;
    if (open_.contains(key)) {
        return;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Warning;
    if (icon == MessageIcon::Critical) boxIcon = QMessageBox::Critical;
    if (icon == MessageIcon::Information) boxIcon = QMessageBox::Information;

    auto* box = new QMessageBox(boxIcon, qTitle, qText, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    open_.insert(key);
    connect(box, &QObject::destroyed, this, [this, key] { open_.remove(key); });
    box->open();
}

}  // namespace dalmora
