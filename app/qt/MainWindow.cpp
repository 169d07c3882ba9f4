#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>

namespace {
// The window's design: client area and control places at 96 dots per inch.
constexpr int DesignDpi = 96;
constexpr int ClientWidth = 361, ClientHeight = 222;
const QColor White(255, 255, 255), Red(255, 0, 0);

QMessageBox::Icon IconOf(tMessageKind Kind) {
    switch (Kind) {
        case tMessageKind::Error: return QMessageBox::Critical;
        case tMessageKind::Confirm: return QMessageBox::Question;
        case tMessageKind::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

tMainWindow::tMainWindow(QWidget* Parent) : QWidget(Parent) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && int(screen->logicalDotsPerInch()) != DesignDpi) Scale = screen->logicalDotsPerInch() / DesignDpi;
    setWindowTitle("Veltra Utility 3");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(int(ClientWidth * Scale), int(ClientHeight * Scale));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(160, 160, 160));  // the button-shadow grey
    setPalette(background);
    setAutoFillBackground(true);

    FLabel1 = NewLabel(20, 8, 327, 60, 16, White);
    FLabel1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FLabel1->setWordWrap(true);
    FLabel2 = NewLabel(20, 79, 327, 19, 13, Red);
    FLabel2->setAlignment(Qt::AlignCenter);
    FLabel2->setText("DO NOT DISCONNECT");
    FLabel2->hide();
    FProgress = new QProgressBar(this);
    FProgress->setGeometry(int(18 * Scale), int(102 * Scale), int(327 * Scale), int(18 * Scale));
    FProgress->setRange(0, 100);
    FProgress->setTextVisible(false);
    FLabel3 = NewLabel(18, 126, 327, 19, 11, White);

    FStartButton = new QPushButton("Start", this);
    FStartButton->setGeometry(int(104 * Scale), int(153 * Scale), int(150 * Scale), int(30 * Scale));
    QFont bold = FStartButton->font();
    bold.setBold(true);
    FStartButton->setFont(bold);
    FDownloadButton = new QPushButton("Download Files", this);
    FDownloadButton->setGeometry(int(8 * Scale), int(189 * Scale), int(100 * Scale), int(25 * Scale));
    for (QPushButton* b : {FStartButton, FDownloadButton}) b->setCursor(Qt::PointingHandCursor);
    connect(FStartButton, &QPushButton::clicked, this, [this] { FForm.AdvGlowButton2Click(); });
    connect(FDownloadButton, &QPushButton::clicked, this, [this] { FForm.AdvGlowButton1Click(); });

    FPollTimer.setSingleShot(true);
    connect(&FPollTimer, &QTimer::timeout, this, [this] { FForm.Timer1Timer(); });
}

QLabel* tMainWindow::NewLabel(int Left, int Top, int Width, int Height, int FontPixels, const QColor& Colour) {
    auto* label = new QLabel(this);
    label->setGeometry(int(Left * Scale), int(Top * Scale), int(Width * Scale), int(Height * Scale));
    QFont font("Arial");
    font.setPixelSize(int(FontPixels * Scale));
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Colour);
    label->setPalette(p);
    return label;
}

void tMainWindow::SetLabel1(const std::string& Text) {
    // The window's texts break their lines with CR LF.
    FLabel1->setText(QString::fromStdString(Text).remove('\r'));
}
void tMainWindow::SetLabel2Visible(bool Visible) { FLabel2->setVisible(Visible); }
void tMainWindow::SetLabel3(const std::string& Text) { FLabel3->setText(QString::fromStdString(Text)); }
void tMainWindow::SetProgress(int Percent) { FProgress->setValue(Percent); }

void tMainWindow::SetButtonsEnabled(bool Enabled) {
    FStartButton->setEnabled(Enabled);
    FDownloadButton->setEnabled(Enabled);
}

void tMainWindow::SetBusyCursor(bool Busy) {
    if (Busy == FBusyCursor) return;
    FBusyCursor = Busy;
    if (Busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void tMainWindow::ProcessMessages() { QCoreApplication::processEvents(); }

tMessageAnswer tMainWindow::MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons Buttons) {
    const auto buttons = Buttons == tMessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    QMessageBox box(IconOf(Kind), MessageTitle(Kind), QString::fromStdString(Text), buttons, this);
    return box.exec() == QMessageBox::Ok ? tMessageAnswer::Ok : tMessageAnswer::Cancel;
}

void tMainWindow::DismissMessageBoxes(const std::string& Title) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->isVisible() && box->windowTitle() == QString::fromStdString(Title)) box->done(QMessageBox::Cancel);
    }
}

std::string tMainWindow::ChooseFolder(const std::string& Caption, const std::string& StartFolder) {
    return QFileDialog::getExistingDirectory(this, QString::fromStdString(Caption), QString::fromStdString(StartFolder))
        .toStdString();
}

void tMainWindow::StartPollTimer(int Ms) { FPollTimer.start(Ms); }
void tMainWindow::StopPollTimer() { FPollTimer.stop(); }

void tMainWindow::PostDeviceAdded() {
    QMetaObject::invokeMethod(this, [this] { FForm.WMDeviceAdded(); }, Qt::QueuedConnection);
}

void tMainWindow::PostDeviceRemoved() {
    QMetaObject::invokeMethod(this, [this] { FForm.WMDeviceRemoved(); }, Qt::QueuedConnection);
}

void tMainWindow::CloseWindow() {
    FClosing = true;
    close();
}

void tMainWindow::closeEvent(QCloseEvent* Event) {
    // Closed in the middle of an operation, the window goes once the operation has returned.
    if (!FClosing && ProcessBusy) {
        FForm.RequestClose();
        Event->ignore();
        return;
    }
    Event->accept();
}
