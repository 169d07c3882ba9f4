#include "VeltraApplication.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "BrammUtils.h"

bool tVeltraApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        CrashHook.HandleCurrentException();
        return true;
    }
}

void InstallCrashDialogs(tCrashReportHook& Hook) {
    Hook.ShowCommsFailure = [](const std::string& Message) {
        QMessageBox::critical(nullptr, "Error", QString::fromStdString(Message));
    };
    Hook.ShowStandardReport = [&Hook](const tCrashReport& Report) {
        QDialog dialog;
        dialog.setWindowTitle("Veltra Update Utility 3 - error report");
        auto* layout = new QVBoxLayout(&dialog);
        auto* text = new QPlainTextEdit(QString::fromStdString(Report.Text()), &dialog);
        text->setReadOnly(true);
        text->setMinimumSize(560, 320);
        layout->addWidget(text);
        auto* buttons = new QDialogButtonBox(&dialog);
        auto* save = buttons->addButton("Save report...", QDialogButtonBox::ActionRole);
        auto* goOn = buttons->addButton("Continue", QDialogButtonBox::AcceptRole);
        auto* end = buttons->addButton("Close program", QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        QObject::connect(save, &QPushButton::clicked, &dialog, [&] {
            const QString file = QFileDialog::getSaveFileName(&dialog, "Save report",
                                                              QString::fromStdString(Hook.BugReportFileName()));
            if (!file.isEmpty()) AppendLineToFile(file.toStdString(), Report.Text(), false);
        });
        QObject::connect(goOn, &QPushButton::clicked, &dialog, &QDialog::accept);
        QObject::connect(end, &QPushButton::clicked, &dialog, &QDialog::reject);
        return dialog.exec() != QDialog::Accepted;
    };
    Hook.EndProgram = [](int Code) { std::exit(Code); };
}
