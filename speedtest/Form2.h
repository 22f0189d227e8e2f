#pragma once

#include "FileSystemObject.h"
#include "Window.h"

#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace Ui {
class Form2;
}

// The speed-test window: the user types a target folder and clicks
// "Check speed"; the test file is copied there, timed, reported and removed.
class Form2 : public platform::Window {
    Q_OBJECT

public:
    Form2();
    ~Form2() override;

    // What the window remembers across loads, for tests.
    qint16 transferCount() const { return TransferCount; }
    std::optional<bool> pathError() const { return PathError; }

protected:
    QWidget* CreateControls() override;
    void ForgetControls() override;
    void Form_Load() override;

private:
    void Command1_Click();

    // Target path (TargetPath.cpp).
    void NormalizeTargetPath();
    void CheckTargetPath();

    // The measurement (RunTransfer.cpp).
    void RunTransfer();
    void DeleteRemoteFile();
    void AppendReportLine(const QString& line);
    void ShowStatusPicture(bool busy);

    qint16 TransferCount = 0;
    std::shared_ptr<platform::FileSystemObject> FileSys;
    std::optional<bool> PathError;

    std::unique_ptr<Ui::Form2> ui;
};
