#include "QtPlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace velloquin::gui {

QStringList NameFilters(const std::string& dialogFilter) {
    const QStringList parts = QString::fromStdString(dialogFilter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

std::string QtFileDialog::ShowOpen(const std::string& filter, int /*flags*/, int maxFileSize) {
    // The list of types shows the descriptions alone, as the patterns are
    // already part of this one.
    const QString name = QFileDialog::getOpenFileName(
        owner_, QString(), QString::fromStdString(start_), NameFilters(filter).join(";;"), nullptr,
        QFileDialog::HideNameFilterDetails);
    const std::string path = QDir::toNativeSeparators(name).toStdString();
    // A name longer than the dialog may return comes back as no choice, as
    // the common dialog refuses it.
    if (maxFileSize > 0 && path.size() > static_cast<size_t>(maxFileSize)) return {};
    return path;
}

std::string QtFolderPicker::BrowseForFolder(const std::string& prompt) {
    const QString folder = QFileDialog::getExistingDirectory(owner_, QString::fromStdString(prompt),
                                                             QString::fromStdString(start_),
                                                             QFileDialog::ShowDirsOnly);
    return QDir::toNativeSeparators(folder).toStdString();
}

void QtMessageBox::Show(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok, owner_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtMessageBox::AskYesNo(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtWindowPump::LetTheWindowWork() {
    QCoreApplication::processEvents();
}

void QtShell::ShellOpen(const std::string& target) {
    if (target.empty()) return;
    // The outcome is not reported: without a browser there is nothing to do.
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
}

} // namespace velloquin::gui
