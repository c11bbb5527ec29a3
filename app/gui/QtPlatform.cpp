#include "QtPlatform.h"

#include "app/FormLogic.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace velloquin::gui {

QStringList NameFilters(const std::string& dialogFilter) {
    QStringList filters;
    for (const app::FileFilter& filter : app::ParseFileFilter(dialogFilter)) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns)
            patterns << QString::fromStdString(pattern);
        filters << QString::fromStdString(filter.description) + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

std::string QtFileDialog::ShowOpen(const std::string& filter, int /*flags*/, int maxFileSize) {
    // The list of types shows the descriptions alone, as the patterns are
    // already part of this one.
    const QString name = QFileDialog::getOpenFileName(
        owner_, QString(), QString::fromStdString(start_), NameFilters(filter).join(";;"), nullptr,
        QFileDialog::HideNameFilterDetails);
    std::string path = QDir::toNativeSeparators(name).toStdString();
    // A name longer than the dialog may return comes back as no choice, as
    // the common dialog refuses it.
    if (maxFileSize > 0 && path.size() > static_cast<size_t>(maxFileSize)) return {};
    return path;
}

std::string QtSaveFileDialog::ShowSave(const std::string& title, const std::string& suggestedName,
                                       const std::string& filter) {
    // Over the notes dialog that asks for it, where there is one.
    QWidget* modal = QApplication::activeModalWidget();
    const QString name = QFileDialog::getSaveFileName(
        modal ? modal : owner_.data(), QString::fromStdString(title),
        QString::fromStdString(suggestedName), NameFilters(filter).join(";;"), nullptr,
        QFileDialog::HideNameFilterDetails);
    return QDir::toNativeSeparators(name).toStdString();
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

bool QtMessageBox::ShowNotes(const app::NotesBox& box) {
    QDialog dialog(owner_);
    dialog.setObjectName("notesDialog");
    dialog.setWindowTitle(QString::fromStdString(box.title));
    // One size for ten notes and for a hundred thousand: the text scrolls.
    QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
    const app::DialogSize size = app::NotesDialogSize(free.width(), free.height());
    dialog.setFixedSize(size.width, size.height);

    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit(QString::fromStdString(box.text), &dialog);
    text->setObjectName("notesText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(text, 1);
    if (!box.question.empty()) {
        auto* question = new QLabel(QString::fromStdString(box.question), &dialog);
        question->setObjectName("notesQuestion");
        question->setTextFormat(Qt::PlainText);
        question->setWordWrap(true);
        layout->addWidget(question);
    }
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* defaultButton = nullptr;
    if (box.question.empty()) {
        defaultButton = buttons->addButton(QDialogButtonBox::Ok);
    } else {
        defaultButton = buttons->addButton(QDialogButtonBox::Yes);
        buttons->addButton(QDialogButtonBox::No);
    }
    if (box.saveNotes) {
        QPushButton* save = buttons->addButton("Save Notes...", QDialogButtonBox::ActionRole);
        save->setObjectName("saveNotes");
        save->setAutoDefault(false);
        QObject::connect(save, &QPushButton::clicked, &dialog, [&box] { box.saveNotes(); });
    }
    defaultButton->setDefault(true);
    defaultButton->setFocus();
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // Yes is the "accept" role of the box; No and Escape reject it.
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted && !box.question.empty();
}

void QtWindowPump::LetTheWindowWork() {
    QCoreApplication::processEvents();
}

bool QtShell::ShellOpen(const std::string& target) {
    if (target.empty()) return true;
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(target)));
}

} // namespace velloquin::gui
