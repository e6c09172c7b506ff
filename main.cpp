#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

#include "console/qt/main_window.h"
#include "console/shared_state.h"
#include "shell/fm_start.h"

namespace {

// The program folder holds the settings file, the record files and Picture/. It is the
// executable's folder; the demo and the tests may name another one as the only argument.
QString programFolder(const QStringList& arguments) {
    if (arguments.size() > 1) return QDir(arguments.at(1)).absolutePath();
    return QCoreApplication::applicationDirPath();
}

// "DotumChe" 9 pt where the computer has it, else a close monospaced font.
void chooseFont() {
    const QStringList families = QFontDatabase::families();
    QString family = "DotumChe";
    if (!families.contains(family)) {
        family = families.contains("DejaVu Sans Mono") ? "DejaVu Sans Mono"
                                                       : QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }
    QApplication::setFont(QFont(family, 9));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Dalmora");
    QApplication::setApplicationVersion(DALMORA_VERSION);
    QApplication::setQuitOnLastWindowClosed(false);
    chooseFont();

    const QString folder = programFolder(QApplication::arguments());
    dalmora::SharedState state;
    dalmora::MainWindow mainWindow(state, folder);

    auto* splash = new dalmora::FM_Start(folder, [&mainWindow] {
        mainWindow.load();
        mainWindow.show();
    });
    splash->show();
    return QApplication::exec();
}
