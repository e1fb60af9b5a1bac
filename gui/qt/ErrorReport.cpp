#include "gui/ErrorReport.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace quorvel {

void ShowErrorReport(const std::string& Message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(Message),
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace quorvel
