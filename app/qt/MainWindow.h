// The main window "Veltra Utility 3": three labels, a progress bar and two buttons, drawn as the
// update workflow asks through tVeltraView.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "VeltraCommsUtilityForm.h"
#include "VeltraView.h"

class tMainWindow : public QWidget, public tVeltraView {
    Q_OBJECT
public:
    explicit tMainWindow(QWidget* Parent = nullptr);

    TVeltraCommsUtilityForm& Form() { return FForm; }
    QLabel* Label1() { return FLabel1; }
    QLabel* Label3() { return FLabel3; }
    QPushButton* StartButton() { return FStartButton; }
    QPushButton* DownloadButton() { return FDownloadButton; }

    void SetLabel1(const std::string& Text) override;
    void SetLabel2Visible(bool Visible) override;
    void SetLabel3(const std::string& Text) override;
    void SetProgress(int Percent) override;
    void SetButtonsEnabled(bool Enabled) override;
    void SetBusyCursor(bool Busy) override;
    void ProcessMessages() override;
    tMessageAnswer MessageBox(tMessageKind Kind, const std::string& Text, tMessageButtons Buttons) override;
    void DismissMessageBoxes(const std::string& Title) override;
    std::string ChooseFolder(const std::string& Caption, const std::string& StartFolder) override;
    void StartPollTimer(int Ms) override;
    void StopPollTimer() override;
    void PostDeviceAdded() override;
    void PostDeviceRemoved() override;
    void CloseWindow() override;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    QLabel* NewLabel(int Left, int Top, int Width, int Height, int FontPixels, const QColor& Colour);

    double Scale = 1.0;
    QLabel* FLabel1;
    QLabel* FLabel2;
    QProgressBar* FProgress;
    QLabel* FLabel3;
    QPushButton* FStartButton;
    QPushButton* FDownloadButton;
    QTimer FPollTimer;
    bool FBusyCursor = false;
    bool FClosing = false;
    TVeltraCommsUtilityForm FForm{*this};
};
